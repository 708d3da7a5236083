#include "app/widgets.h"

#include <QBackingStore>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>
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

void TLabel::setKeepsBackground(bool keep)
{
    keepsBackground_ = keep;
    forgetBackground();
    watchAncestors();
}

void TLabel::watchAncestors()
{
    for (QWidget *w : std::as_const(watched_))
        if (w)
            w->removeEventFilter(this);
    watched_.clear();
    if (!keepsBackground_)
        return;
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        w->installEventFilter(this);
        watched_ << w;
        if (w->isWindow())
            break;
    }
}

void TLabel::forgetBackground()
{
    background_ = {};
    if (testAttribute(Qt::WA_OpaquePaintEvent)) {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        update(); // drawn next with what is beneath, which is then kept
    }
}

bool TLabel::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::ShowToParent:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
    case QEvent::WindowStateChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ScreenChangeInternal:
        forgetBackground();
        break;
    case QEvent::ParentChange:
        forgetBackground();
        watchAncestors();
        break;
    default:
        break;
    }
    return QLabel::eventFilter(watched, event);
}

void TLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        watchAncestors();
    if (event->type() != QEvent::ToolTipChange && event->type() != QEvent::WindowTitleChange)
        forgetBackground();
}

void TLabel::moveEvent(QMoveEvent *event)
{
    QLabel::moveEvent(event);
    forgetBackground();
}

void TLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    forgetBackground();
}

void TLabel::paintEvent(QPaintEvent *event)
{
    if (keepsBackground_) {
        QPainter painter(this); // ended before the label's own
        if (testAttribute(Qt::WA_OpaquePaintEvent)) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(QPoint(0, 0), background_);
        } else if (event->region().contains(rect())) {
            // Drawn whole with what is beneath: the window's own pixels under
            // the label are just drawn, and are kept (not a grab's, which
            // draws elsewhere).
            QBackingStore *store = window()->backingStore();
            QPaintDevice *device = store ? store->paintDevice() : nullptr;
            // At a fractional scale a label's edges fall between pixels, and
            // no copy of them is exact: such a label keeps nothing.
            const qreal scale = device ? device->devicePixelRatio() : 0;
            if (device && device->devType() == QInternal::Image && scale == std::round(scale)
                && painter.paintEngine() && painter.paintEngine()->paintDevice() == device) {
                const auto *image = static_cast<const QImage *>(device);
                const QRect at = painter.deviceTransform().mapRect(QRectF(rect())).toAlignedRect();
                if (image->rect().contains(at)) {
                    background_ = image->copy(at);
                    background_.setDevicePixelRatio(image->devicePixelRatio());
                    setAttribute(Qt::WA_OpaquePaintEvent, true);
                }
            }
        }
        painter.end();
    }
    QLabel::paintEvent(event);
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
