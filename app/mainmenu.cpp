// The main window's life: menus, start-up, the charge clock's reset, the
// auxiliary windows, dropped files and the close.

#include "app/TfmMain.h"

#include "serial/CPort.h"
#include "app/auxwindows.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "platform/localeformat.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>
#include <QScreen>
#include <QStyle>

namespace {

// Hints appear a second after the mouse comes to rest.
class HintTiming : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *data) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 1000;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QAction *item(QMenu *menu, const char *name, const QString &caption, QStyle::StandardPixmap icon = QStyle::SP_CustomBase)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    if (icon != QStyle::SP_CustomBase)
        a->setIcon(QApplication::style()->standardIcon(icon));
    return a;
}

} // namespace

void TfmMain::buildMenus()
{
    MainMenu1 = make<QMenuBar>(this, "MainMenu1");
    setMenuBar(MainMenu1);
    QMenu *file = MainMenu1->addMenu(QStringLiteral("Файл"));
    NOpenFile = item(file, "NOpenFile", QStringLiteral("Открыть"), QStyle::SP_DialogOpenButton);
    N7 = item(file, "N7", QStringLiteral("Сохранить"), QStyle::SP_DialogSaveButton);
    NExport = item(file, "NExport", QStringLiteral("Экспорт..."));
    NExport->setToolTip(QStringLiteral("График в метафайл, PNG, SVG или PDF; измерения в таблицу CSV"));
    NHistory = item(file, "NHistory", QStringLiteral("История зарядов..."));
    NHistory->setToolTip(QStringLiteral("Все заряды: таблица, сравнение на графике, тренд ёмкости, подбор в сборки"));
    file->addSeparator();
    N9 = item(file, "N9", QStringLiteral("Очистить всё"), QStyle::SP_TrashIcon);
    file->addSeparator();
    N11 = item(file, "N11", QStringLiteral("Выход"), QStyle::SP_DialogCloseButton);
    QMenu *help = MainMenu1->addMenu(QStringLiteral("   ?    "));
    N13 = item(help, "N13", QStringLiteral("Справка"), QStyle::SP_DialogHelpButton);
    help->addSeparator();
    N14 = item(help, "N14", QStringLiteral("О программе"), QStyle::SP_MessageBoxInformation);
    buildViewMenu();

    auto memoMenu = [this](QMenu *&menu, const char *name, LogMemo *memo, const char *const names[7]) {
        menu = make<QMenu>(this, name);
        const QString captions[] = {QStringLiteral("Copy ADC"), QStringLiteral("Copy U"),
                                    QStringLiteral("Copy T"), QStringLiteral("Copy Time"),
                                    QStringLiteral("Copy All")};
        QAction *actions[6];
        for (int i = 0; i < 5; ++i)
            actions[i] = item(menu, names[i], captions[i]);
        menu->addSeparator();
        actions[5] = item(menu, names[5], QStringLiteral("Clear"));
        const QString keys[] = {QStringLiteral("C"), QStringLiteral("U"), QStringLiteral("T")};
        for (int i = 0; i < 3; ++i)
            connectHandler(actions[i], &QAction::triggered, this, [this, memo, key = keys[i]] { copy_u_t(key, memo); });
        connectHandler(actions[3], &QAction::triggered, this, [this, memo] { copy_time(memo); });
        connectHandler(actions[4], &QAction::triggered, this, [this, memo] { CopyAll(memo); });
        connectHandler(actions[5], &QAction::triggered, this, [this, memo] { clearLog(memo); });
        QAction *summary = item(menu, names[6], QStringLiteral("Копировать сводку"));
        menu->insertAction(actions[5], summary);
        menu->insertSeparator(actions[5]);
        const Channel ch = memo == Memo1 ? Channel::A : Channel::B;
        connectHandler(summary, &QAction::triggered, this, [this, ch] { copySummary(ch); });
        memo->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(memo, &QWidget::customContextMenuRequested, this,
                [memo, menu](const QPoint &at) { menu->exec(memo->mapToGlobal(at)); });
    };
    const char *const names1[7] = {"CopyADC1", "CopyU1", "CopyT1", "CopyTime1", "CopyAll_1", "Clear1", "CopySummary1"};
    const char *const names2[7] = {"CopyADC2", "CopyU2", "CopyT2", "CopyTime2", "CopyAll_2", "Clear2", "CopySummary2"};
    memoMenu(PopupMenu1, "PopupMenu1", Memo1, names1);
    memoMenu(PopupMenu2, "PopupMenu2", Memo2, names2);

    PopupMenu3 = make<QMenu>(this, "PopupMenu3");
    NSetTime = item(PopupMenu3, "NSetTime", QStringLiteral("Задать время"));
    PopupMenu3->addSeparator();
    NDeleteAll = item(PopupMenu3, "NDeleteAll", QStringLiteral("Очистить все"));
    PopupMenu3->addSeparator();
    NSaveAll = item(PopupMenu3, "NSaveAll", QStringLiteral("Сохранить"));
    N4 = item(PopupMenu3, "N4", QStringLiteral("Открыть"));
    GroupBoxLabel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GroupBoxLabel, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu3->exec(GroupBoxLabel->mapToGlobal(at)); });
}

void TfmMain::connectMenuHandlers()
{
    for (QAction *a : {NOpenFile, N4})
        connectHandler(a, &QAction::triggered, this, [this] { NOpenFileClick(); });
    for (QAction *a : {N7, NSaveAll})
        connectHandler(a, &QAction::triggered, this, [this] { NSaveAllClick(); });
    for (QAction *a : {N9, NDeleteAll})
        connectHandler(a, &QAction::triggered, this, [this] { NDeleteAllClick(); });
    connectHandler(NExport, &QAction::triggered, this, [this] { NExportClick(); });
    connectHandler(NHistory, &QAction::triggered, this, [this] { showHistory(); });
    connectHandler(N11, &QAction::triggered, this, [this] { N11Click(); });
    connectHandler(N13, &QAction::triggered, this, [this] { N13Click(); });
    connectHandler(N14, &QAction::triggered, this, [this] { N14Click(); });
    connectHandler(NSetTime, &QAction::triggered, this, [this] { NSetTimeClick(); });
    connectHandler(LbTimeA, &TLabel::doubleClicked, this, [this] { LbTimeADblClick(); });
    connectColourHandlers();
}

void TfmMain::FormCreate()
{
    runGuarded([this] { LoadSettings(); });
    if (!dynamic_cast<HintTiming *>(QApplication::style()))
        QApplication::setStyle(new HintTiming);
    GroupBoxTim->setToolTip(QStringLiteral(
        "При превышении этого времени генерируется ошибка: превышено время заряда.\n"
        "Устанавливается в зависимости от тока. Так, например если аккумулятор имеет\n"
        "емкость 1000mAh и заряжается током 1000mA, то он зарядится за 1 час к этому\n"
        "времени нужно прибавить 10-15%.\n"
        "Емкость 2200mAh, зарядный ток 1000mA время 2ч 20 мин (+20мин) и т. д."));
    LabelColor_AT->setText(QStringLiteral("T°C"));
    LabelColor_BT->setText(QStringLiteral("T°C"));
    CheckBoxCurrentT->setToolTip(QStringLiteral("Читать температуру с датчиков\n"
                                                "(когда зу находится в режиме ожидания)."));
    // Long hints stay for 20 seconds.
    for (QWidget *w : findChildren<QWidget *>())
        if (!w->toolTip().isEmpty())
            w->setToolTipDuration(20000);
    setAcceptDrops(true);
    updateParameterLabels();
}

void TfmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!centred_ && screen()) {
        centred_ = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
}

void TfmMain::FormCloseQuery(bool &CanClose)
{
    // The settings are kept even when the user then cancels the close; a
    // refused write is reported and does not hold the window open.
    runGuarded([this] { SaveSettings(); });
    bool declined = false; // the user chose to let the unsaved lines go
    if (Memo1->isModified() || Memo2->isModified()) {
        switch (Dialogs::instance().question(this, QStringLiteral("Сохранить статистику?"),
                                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                             QStringLiteral("Завершение работы"))) {
        case QMessageBox::Yes:
            runGuarded([this] { NSaveAllClick(); });
            // A save that failed (its message shown) keeps the window open,
            // as Cancel does, so the lines can be saved elsewhere.
            CanClose = !saveFailed_;
            break;
        case QMessageBox::No:
            CanClose = true;
            declined = true;
            break;
        default:
            CanClose = false;
        }
    } else {
        CanClose = true;
    }
    if (CanClose) {
        runGuarded([this] { ComPort1->Close(); });
        // After the close: it still hands on what had arrived.
        history_.endAll(ChargeEnd::Closed, Clock::now());
        chargeInterrupted(ChargeStop::Stopped); // no sleep lock outlives the window
        // A save that failed or was cancelled leaves the journal for the next start.
        retireJournal(declined || (!Memo1->isModified() && !Memo2->isModified()));
        setAcceptDrops(false);
    }
}

void TfmMain::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TfmMain::LbTimeADblClick()
{
    const double now = Clock::timeOfDay();
    Label25->setText(Fmt::longTime(now));
    receiver.clock.start(now);
}

void TfmMain::N11Click()
{
    close();
}

void TfmMain::N13Click()
{
    TfHelp help(this);
    help.exec();
}

void TfmMain::N14Click()
{
    TfAbout about(this);
    about.exec();
}

void TfmMain::NSetTimeClick()
{
    TfTimeSet dialog(this, receiver.clock, Label25);
    dialog.exec();
}

void TfmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfmMain::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString path = urls.front().toLocalFile();
    runGuarded([this, path] { dropFile(path); });
}
