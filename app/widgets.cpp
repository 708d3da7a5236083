#include "app/widgets.h"

#include <QMouseEvent>

#include <algorithm>
#include <stdexcept>

void TLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
}

void TLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    // A click is a press and a release on the label, as with any button.
    const bool click = pressed_ && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        pressed_ = false;
    if (click)
        emit clicked();
}

void TLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

TUpDown::TUpDown(QWidget *parent, const char *name, const char *editName, int min, int max,
                 int position)
    : QSpinBox(parent)
{
    setObjectName(QLatin1String(name));
    lineEdit()->setObjectName(QLatin1String(editName));
    setRange(min, max);
    setValue(position);
    // A current such as 1000 must stay readable as an integer.
    setGroupSeparatorShown(false);
    connect(this, &QSpinBox::valueChanged, this, [this] {
        if (clamped_)
            clearMark();
    });
}

void TUpDown::setPositionFromDevice(int v, bool equivalent)
{
    const int kept = std::clamp(v, minimum(), maximum());
    if (clamped_)
        clearMark();
    setValue(kept);
    if (kept != v && !equivalent) {
        clamped_ = true;
        hint_ = toolTip();
        setToolTip(QStringLiteral("Прибор вернул %1, поле допускает %2..%3")
                       .arg(v).arg(minimum()).arg(maximum()));
        QPalette p = palette();
        p.setColor(QPalette::Base, QColor(255, 255, 128));
        setPalette(p);
    }
}

void TUpDown::clearMark()
{
    clamped_ = false;
    setToolTip(hint_);
    setPalette(QPalette());
}

int integerOf(const QLineEdit *edit)
{
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid integer value").arg(edit->text()).toStdString());
    return v;
}

QColor fontColor(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

void setFontColor(QWidget *w, QColor c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}
