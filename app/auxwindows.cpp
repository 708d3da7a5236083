#include "app/auxwindows.h"

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/localeformat.h"
#include "link/chargeclock.h"
#include "app/widgets.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfTimeSet::TfTimeSet(QWidget *parent, ChargeClock &clock, QLabel *startLabel)
    : QDialog(parent), clock_(clock), startLabel_(startLabel)
{
    setObjectName(QStringLiteral("fTimeSet"));
    // A blank: the window system shows the program's name in place of an
    // empty title.
    setWindowTitle(QStringLiteral(" "));
    Label1 = make<QLabel>(this, "Label1", QStringLiteral("Задать время заряда"));
    Edit1 = make<QLineEdit>(this, "Edit1", QStringLiteral("00"));
    Edit2 = make<QLineEdit>(this, "Edit2", QStringLiteral("00"));
    Edit3 = make<QLineEdit>(this, "Edit3", QStringLiteral("00"));
    Button1 = make<QPushButton>(this, "Button1", QStringLiteral("Да"));
    Button1->setAutoDefault(true); // Enter on the focused "Да" presses it
    auto *fields = new QHBoxLayout;
    for (QLineEdit *e : {Edit1, Edit2, Edit3}) {
        e->setFixedWidth(32);
        e->setAlignment(Qt::AlignCenter);
        e->installEventFilter(this);
        fields->addWidget(e);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(fields);
    layout->addWidget(Button1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Button1);
    resize(153, 103);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

bool TfTimeSet::eventFilter(QObject *watched, QEvent *event)
{
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (!field)
        return false;
    if (event->type() == QEvent::FocusOut && !checking_) {
        // Only a move to another control of the dialog leaves the field:
        // switching to another window or opening the field's menu does not.
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason)
            Edit1Exit(field);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        QWidget *next = field == Edit1 ? static_cast<QWidget *>(Edit2)
                       : field == Edit2 ? static_cast<QWidget *>(Edit3)
                                        : Button1;
        next->setFocus(Qt::TabFocusReason);
        return true;
    }
    // Tab moves on as in any dialog; only typed characters are filtered.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    const QString typed = key->text();
    if (typed.isEmpty())
        return false;
    if (field->text().size() >= 2) {
        // A full field takes the next character, backspace included, as a
        // new start.
        field->selectAll();
        return false;
    }
    return key->key() != Qt::Key_Backspace && !typed.front().isDigit(); // digits and backspace only
}

void TfTimeSet::Edit1Exit(QLineEdit *field)
{
    const int limit = field == Edit1 ? 23 : 59;
    const QString text = field->text();
    if (text.size() == 1) {
        field->setText(QLatin1Char('0') + text);
    } else if (text.size() == 2) {
        if (integerOf(field) > limit) {
            checking_ = true;
            Dialogs::instance().message(this,
                                        QStringLiteral("Не в диапазоне (0..%1)  \"%2\"").arg(limit).arg(text),
                                        Dialogs::Icon::None);
            field->clear();
            field->setFocus(Qt::OtherFocusReason);
            checking_ = false;
        }
    } else if (text.isEmpty()) {
        field->setText(QStringLiteral("00"));
    }
}

void TfTimeSet::Button1Click()
{
    const QString joined = Edit1->text() + QLatin1Char(':') + Edit2->text() + QLatin1Char(':') + Edit3->text();
    const QTime t = QTime::fromString(joined, QStringLiteral("H:m:s"));
    if (!t.isValid()) {
        Dialogs::instance().message(this, QStringLiteral("Ошибка!  \"%1\"").arg(joined),
                                    Dialogs::Icon::None);
        return;
    }
    clock_.start(Clock::timeOfDay() - t.msecsSinceStartOfDay() / 86400000.0);
    startLabel_->setText(Fmt::longTime(clock_.StartTime));
    accept();
}

TfAbout::TfAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    Label1 = make<QLabel>(this, "Label1", QStringLiteral("Версия 1.2.8    20.01.2013"));
    Label2 = make<QLabel>(this, "Label2", QStringLiteral("Справка о приборе"));
    Label3 = make<QLabel>(this, "Label3", QStringLiteral("Ostrel: разработчики проекта"));
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setToolTip(QStringLiteral("Открыть справку"));
    Label2->setAccessibleName(QStringLiteral("Открыть справку"));
    Label2->installEventFilter(this);
    Label2->setMouseTracking(true);
    setMouseTracking(true);
    auto *layout = new QVBoxLayout(this);
    for (QLabel *l : {Label1, Label2, Label3})
        layout->addWidget(l);
    resize(179, 84);
}

void TfAbout::hover(bool on)
{
    QFont f = Label2->font();
    f.setUnderline(on);
    Label2->setFont(f);
    setFontColor(Label2, on ? QColor(0, 0, 255) : QColor(0, 0, 0));
}

bool TfAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label2 && event->type() == QEvent::MouseMove)
        hover(true);
    if (watched == Label2 && event->type() == QEvent::MouseButtonPress) {
        // The link leads to the program's own help text, which is there
        // wherever the program has been put.
        Label2Click();
        return true;
    }
    return false;
}

void TfAbout::Label2Click()
{
    TfHelp help(this);
    help.exec();
}

void TfAbout::mouseMoveEvent(QMouseEvent *)
{
    hover(false);
}

void TfAbout::mousePressEvent(QMouseEvent *)
{
    accept();
}

TfHelp::TfHelp(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fHelp"));
    setWindowTitle(QStringLiteral("Справка"));
    setWindowFlags(Qt::Tool | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    Memo1 = make<QPlainTextEdit>(this, "Memo1");
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFile text(QStringLiteral(":/help/help.txt"));
    if (text.open(QIODevice::ReadOnly))
        Memo1->setPlainText(QString::fromUtf8(text.readAll()));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize(499, 291);
}
