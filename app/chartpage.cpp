// The chart page of the main window: the chart and its curves, rebuilding
// them from the logs, zoom, curve toggles, the point readout, the page's keys
// and the metafile export.

#include "app/TfmMain.h"

#include "charts/engine/chart.h"
#include "charts/journal.h"
#include "charts/chartlines.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "app/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

// The small pictures of the page's buttons, drawn rather than shipped.
QIcon glyph(const QString &kind)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    if (kind == QLatin1String("plus") || kind == QLatin1String("minus")) {
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.drawLine(QPointF(4, 6), QPointF(8, 6));
        if (kind == QLatin1String("plus"))
            p.drawLine(QPointF(6, 4), QPointF(6, 8));
    } else if (kind == QLatin1String("undo")) {
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
        p.drawLine(QPointF(8, 5), QPointF(8, 11));
    } else if (kind == QLatin1String("clear")) {
        p.setPen(QPen(QColor(180, 0, 0), 2));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
    } else if (kind == QLatin1String("save")) {
        p.setBrush(QColor(70, 90, 160));
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 3, 6, 4));
    }
    return QIcon(pm);
}

} // namespace

void TfmMain::buildChartPage()
{
    Chart1 = make<TChart>(TabSheet1, "Chart1");
    Chart1->BackColor = QColor(192, 192, 192);
    Chart1->BackWallTransparent = true;
    Chart1->BackWallColor = QColor(192, 192, 192);
    Chart1->BottomWallTransparent = true;
    Chart1->LeftWallColor = QColor(228, 228, 228);
    Chart1->GradientEndColor = QColor(226, 226, 226);
    Chart1->Chart3DPercent = 10;
    Chart1->MarginTop = 5;
    Chart1->MarginBottom = 3;
    Chart1->LegendColor = QColor(192, 192, 192);
    Chart1->LegendShadowColor = QColor(128, 128, 128);
    Chart1->LegendShadowSize = 2;
    Chart1->AnimatedZoom = true;
    Chart1->LeftAxis.lineVisible = false;
    Chart1->LeftAxis.gridVisible = false;
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(11);
    Chart1->LeftAxis.labelFont = arial;
    Chart1->LeftAxis.labelColor = QColor(255, 0, 0);
    Chart1->TopAxis.visible = false;

    auto style = [](ChartSeries &s, QColor colour, int width, VerticalAxis axis, const char *format) {
        s.style.colour = colour;
        s.style.width = width;
        s.style.axis = axis;
        s.style.valueFormat = QLatin1String(format);
    };
    style(Series1, QColor(0, 128, 0), 2, VerticalAxis::Right, "#,##0.###");
    style(Series2, QColor(0, 159, 0), 1, VerticalAxis::Left, "##0.#");
    style(Series3, QColor(0, 0, 255), 2, VerticalAxis::Right, "#,##0.###");
    style(Series4, QColor(128, 128, 255), 1, VerticalAxis::Left, "##0.#");
    Series1.style.crossCursor = Series3.style.crossCursor = true;
    for (ChartSeries *s : {&Series3, &Series4, &Series1, &Series2})
        Chart1->addSeries(s);
    // A charge from the history, put beside the live curves: its voltage
    // against the same scale, dashed, with a legend entry of its own.
    style(historyCurve, QColor(220, 110, 0), 2, VerticalAxis::Right, "#,##0.###");
    historyCurve.style.line = Qt::DashLine;
    Chart1->addSeries(&historyCurve);

    auto colourLabel = [this](const char *name, const QString &caption, int x, bool bold,
                              QColor colour) {
        auto *l = make<TLabel>(Chart1, name, caption);
        l->setCursor(Qt::PointingHandCursor);
        QFont f = l->font();
        f.setBold(bold);
        l->setFont(f);
        setFontColor(l, colour);
        l->setToolTip(QStringLiteral("выбрать цвет"));
        l->setAccessibleName(QStringLiteral("Цвет кривой ") + caption);
        l->adjustSize();
        l->move(x, 16);
        return l;
    };
    // Anchored to the top only: on a wider or narrower chart each label keeps
    // its centre at the same fraction of the chart's width (drawn at 615).
    Chart1->installEventFilter(this);
    LabelColor_AU = colourLabel("LabelColor_AU", QStringLiteral("A(U)"), 256, true, QColor(0, 128, 0));
    LabelColor_AT = colourLabel("LabelColor_AT", QStringLiteral("T°C"), 288, false, QColor(0, 128, 0));
    LabelColor_BU = colourLabel("LabelColor_BU", QStringLiteral("B(U)"), 328, true, QColor(0, 0, 255));
    LabelColor_BT = colourLabel("LabelColor_BT", QStringLiteral("T°C"), 360, false, QColor(0, 0, 255));
    labelClickSeriesA = make<QLabel>(Chart1, "labelClickSeriesA");
    labelClickSeriesB = make<QLabel>(Chart1, "labelClickSeriesB");
    labelClickSeriesA->move(40, 8);
    labelClickSeriesB->move(40, 24);
    for (QLabel *l : {labelClickSeriesA, labelClickSeriesB})
        l->setMinimumWidth(200);

    auto button = [this](const char *name, const QString &picture, const QString &hint) {
        auto *b = make<QToolButton>(TabSheet1, name);
        b->setIcon(glyph(picture));
        b->setAutoRaise(true);
        b->setFixedSize(23, 22);
        b->setToolTip(hint);
        b->setAccessibleName(hint); // it shows only a picture
        return b;
    };
    BtnChartClear1 = button("BtnChartClear1", QStringLiteral("clear"), QStringLiteral("Очистить график"));
    BtnUndoZoomA = button("BtnUndoZoomA", QStringLiteral("undo"), QStringLiteral("Исходный масштаб"));
    BtnzoomminusA = button("BtnzoomminusA", QStringLiteral("minus"), QStringLiteral("Уменьшить"));
    BtnzoomplusA = button("BtnzoomplusA", QStringLiteral("plus"), QStringLiteral("Увеличить"));
    BtnSaveGrafA = button("BtnSaveGrafA", QStringLiteral("save"), QStringLiteral("Сохранить как Metafile"));

    auto toggle = [this](const char *name, const QString &caption, bool bold, bool down,
                         const QString &hint) {
        auto *b = make<QToolButton>(TabSheet1, name);
        b->setText(caption);
        // A letter says little to a screen reader or a newcomer.
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setCheckable(true);
        b->setChecked(down);
        b->setAutoRaise(true);
        b->setFixedSize(23, 22);
        QFont f = b->font();
        f.setBold(bold);
        b->setFont(f);
        return b;
    };
    BtnViewA = toggle("BtnViewA", QStringLiteral("A"), true, true, QStringLiteral("Напряжение канала A"));
    BtnViewAT = toggle("BtnViewAT", QStringLiteral("T"), false, true, QStringLiteral("Температура канала A"));
    BtnViewB = toggle("BtnViewB", QStringLiteral("B"), true, true, QStringLiteral("Напряжение канала B"));
    BtnViewBT = toggle("BtnViewBT", QStringLiteral("T"), false, true, QStringLiteral("Температура канала B"));
    btnView2D = toggle("btnView2D", QStringLiteral("2D"), false, false, QStringLiteral("Плоский график (2D)"));
    curves_ = {Curve{&Series1, BtnViewA, LabelColor_AU}, Curve{&Series2, BtnViewAT, LabelColor_AT},
               Curve{&Series3, BtnViewB, LabelColor_BU}, Curve{&Series4, BtnViewBT, LabelColor_BT}};
    btnView2D->setFixedWidth(28);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addSpacing(12);
    for (QToolButton *b : {BtnChartClear1, BtnUndoZoomA, BtnzoomminusA, BtnzoomplusA})
        buttons->addWidget(b);
    buttons->addSpacing(60);
    buttons->addWidget(BtnViewA);
    buttons->addWidget(BtnViewAT);
    buttons->addSpacing(16);
    buttons->addWidget(BtnViewB);
    buttons->addWidget(BtnViewBT);
    buttons->addStretch();
    buttons->addWidget(btnView2D);
    buttons->addWidget(BtnSaveGrafA);
    buttons->addSpacing(12);
    auto *page = new QVBoxLayout(TabSheet1);
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(Chart1, 1);
    page->addLayout(buttons);
}

void TfmMain::connectChartHandlers()
{
    connectHandler(BtnChartClear1, &QToolButton::clicked, this, [this] { BtnChartClear1Click(); });
    connectHandler(BtnUndoZoomA, &QToolButton::clicked, this, [this] { BtnUndoZoomAClick(); });
    connectHandler(BtnzoomminusA, &QToolButton::clicked, this, [this] { BtnzoomminusAClick(); });
    connectHandler(BtnzoomplusA, &QToolButton::clicked, this, [this] { BtnzoomplusAClick(); });
    for (QToolButton *b : {BtnViewA, BtnViewAT, BtnViewB, BtnViewBT})
        connectHandler(b, &QToolButton::clicked, this, [this] { BtnViewAClick(); });
    connectHandler(btnView2D, &QToolButton::clicked, this, [this] { btnView2DClick(); });
    connectHandler(BtnSaveGrafA, &QToolButton::clicked, this, [this] { BtnSaveGrafAClick(); });
    Chart1->OnClickSeries = [this](ChartSeries *s, int i) { runGuarded([&] { Chart1ClickSeries(s, i); }); };
    qApp->installEventFilter(this);
}

void TfmMain::ConstructChartGraf(const LogMemo *memo)
{
    buildCurves(memo == Memo1, memo->lines());
}

void TfmMain::buildCurves(bool a, const QStringList &lines)
{
    showCurves(a, curvesOf(a, lines));
}

LogCurves TfmMain::curvesOf(bool a, const QStringList &lines) const
{
    return curvesFromLog(lines, (a ? BtnViewA : BtnViewB)->isChecked(), (a ? BtnViewAT : BtnViewBT)->isChecked());
}

void TfmMain::showCurves(bool a, const LogCurves &curves)
{
    ChartSeries &u = a ? Series1 : Series3;
    ChartSeries &t = a ? Series2 : Series4;
    const QColor colourU = fontColor(a ? LabelColor_AU : LabelColor_BU);
    const QColor colourT = fontColor(a ? LabelColor_AT : LabelColor_BT);
    u.clear();
    t.clear();
    for (const LogPoint &p : curves.u)
        u.append(p.value, p.time, colourU);
    for (const LogPoint &p : curves.t)
        t.append(p.value, p.time, colourT);
    if (curves.failed) {
        Dialogs::instance().message(this, QStringLiteral("Ошибка в построении графика!"),
                                    Dialogs::Icon::None);
    } else {
        Chart1->undoZoom();
        Chart1->zoomPercent(99);
    }
    Chart1->update();
}

void TfmMain::Chart_Title()
{
    LabelColor_AU->setVisible(BtnViewA->isChecked());
    LabelColor_AT->setVisible(BtnViewAT->isChecked());
    LabelColor_BU->setVisible(BtnViewB->isChecked());
    LabelColor_BT->setVisible(BtnViewBT->isChecked());
}

void TfmMain::BtnChartClear1Click()
{
    for (ChartSeries *s : Chart1->seriesList())
        s->clear();
    journal(JournalRecord::chartCleared());
    Chart1->undoZoom();
    labelClickSeriesA->clear();
    labelClickSeriesB->clear();
}

void TfmMain::BtnUndoZoomAClick()
{
    // While the sensors are polled, their points are on the chart only, so
    // the curves are not rebuilt from the logs then.
    if (!CheckBoxConstruktorGraf->isEnabled()) {
        ConstructChartGraf(Memo1);
        ConstructChartGraf(Memo2);
        journalHandEdits(); // the lines it was built from
        journal(JournalRecord::chartRebuilt(curveSetup()));
    }
    Chart1->undoZoom();
}

void TfmMain::BtnzoomminusAClick()
{
    Chart1->zoomPercent(98);
}

void TfmMain::BtnzoomplusAClick()
{
    Chart1->zoomPercent(102);
}

void TfmMain::BtnViewAClick()
{
    Chart_Title();
    BtnUndoZoomAClick();
}

void TfmMain::btnView2DClick()
{
    Chart1->setView3D(!Chart1->view3D());
}

void TfmMain::Chart1ClickSeries(ChartSeries *series, int i)
{
    const bool a = series == &Series1;
    if (!a && series != &Series3)
        return; // the temperature curves show nothing
    const ChartSeries &t = a ? Series2 : Series4;
    const QString text = readoutText(*series, (a ? BtnViewAT : BtnViewBT)->isChecked() ? &t : nullptr, i);
    QLabel *label = a ? labelClickSeriesA : labelClickSeriesB;
    label->setText(text);
    label->setToolTip(channelSummary(a ? Channel::A : Channel::B));
    label->adjustSize();
    setFontColor(label, fontColor(a ? LabelColor_AU : LabelColor_BU));
}

void TfmMain::BtnSaveGrafAClick()
{
    Dialogs &dialogs = Dialogs::instance();
    const QString folder = dialogs.folder(this, programFolder());
    if (folder.isEmpty())
        return;
    const QString name = dialogs.text(this, QStringLiteral("Сохранить как Metafile *.emf"),
                                      QStringLiteral("Имя"),
                                      Clock::now().date().toString(QStringLiteral("yyyy-MM-dd")));
    if (name.isNull())
        return;
    const QString path = QDir(folder).filePath(name + QStringLiteral(".emf"));
    if (QFileInfo::exists(path)
        && dialogs.question(this, QStringLiteral("Такой файл есть.  Продолжить?"),
                            QMessageBox::Yes | QMessageBox::No, QStringLiteral("MkDir"))
               != QMessageBox::Yes)
        return;
    withLegend([&] { Chart1->saveToMetafile(path); });
}

void TfmMain::placeColourLabels()
{
    constexpr int DesignWidth = 615;
    const std::pair<QLabel *, int> design[] = {
        {LabelColor_AU, 256}, {LabelColor_AT, 288}, {LabelColor_BU, 328}, {LabelColor_BT, 360}};
    for (const auto &[label, x] : design) {
        const int half = label->width() / 2;
        label->move((x + half) * Chart1->width() / DesignWidth - half, 16);
    }
}

bool TfmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Chart1 && event->type() == QEvent::Resize) {
        placeColourLabels();
        return false;
    }
    // The summaries are read from the logs when asked for, not kept up to date.
    if (watched == GroupBoxLabel && event->type() == QEvent::ToolTip) {
        GroupBoxLabel->setToolTip(channelSummary(Channel::A) + QStringLiteral("\n\n") + channelSummary(Channel::B));
        return false;
    }
    if (event->type() != QEvent::KeyPress || PageControl1->currentWidget() != TabSheet1)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || w->window() != this)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // An ignored key travels up to the parents as the same event: act on
    // its first delivery only.
    if (event == lastKey_ && key->timestamp() == lastKeyStamp_ && lastKeyTarget_
        && w != lastKeyTarget_ && w->isAncestorOf(lastKeyTarget_))
        return false;
    lastKey_ = event;
    lastKeyStamp_ = key->timestamp();
    lastKeyTarget_ = w;
    const bool keypad = key->modifiers() & Qt::KeypadModifier;
    bool consumed = false;
    runGuarded([&] {
        switch (key->key()) {
        case Qt::Key_Home:
            BtnUndoZoomAClick();
            consumed = true;
            break;
        case Qt::Key_Plus:
            if (keypad)
                BtnzoomplusAClick();
            break;
        case Qt::Key_Minus:
            if (keypad)
                BtnzoomminusAClick();
            break;
        case Qt::Key_Delete:
            BtnChartClear1Click();
            break;
        default:
            break;
        }
    });
    return consumed;
}
