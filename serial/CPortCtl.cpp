#include "CPortCtl.h"

#include <QPainter>

namespace {
const char *const kGlyphNames[] = {"RED", "GREEN", "BLUE", "YELLOW", "PURPLE", "BULB"};
}

QString TComLed::glyphResource(const QString &name)
{
    return QStringLiteral(":/led/%1.xpm").arg(name);
}

TComLed::TComLed(QWidget *parent) : QWidget(parent)
{
    resize(25, 25);
    ringTimer_.setInterval(1000);
    ringTimer_.setSingleShot(false);
    connect(&ringTimer_, &QTimer::timeout, this, [this] {
        ringTimer_.stop();
        applyState(lsOff);
    });
    connectSignal();
    loadGlyphs();
}

TComLed::~TComLed()
{
    if (port_)
        port_->DetachLink(&link_);
}

void TComLed::setComPort(TCustomComPort *port)
{
    if (port == port_)
        return;
    if (port_) {
        disconnect(portDestroyed_);
        port_->DetachLink(&link_);
    }
    port_ = port;
    if (!port) {
        applyState(lsOff);
        return;
    }
    port->AttachLink(&link_);
    // A destroyed port has already dropped its links; only forget it.
    portDestroyed_ = connect(port, &QObject::destroyed, this, [this] { port_ = nullptr; });
    if (port->Connected())
        applyState(signalActiveNow() ? lsOn : lsOff);
}

bool TComLed::signalActiveNow()
{
    switch (signal_) {
    case lsConn: return port_->Connected();
    case lsCTS: return port_->LineSignals().contains(csCTS);
    case lsDSR: return port_->LineSignals().contains(csDSR);
    case lsRLSD: return port_->LineSignals().contains(csRLSD);
    case lsRing:
    case lsRx:
    case lsTx: return false;
    }
    return false;
}

void TComLed::setLedSignal(TComLedSignal s)
{
    if (s == signal_)
        return;
    signal_ = s;
    connectSignal();
}

void TComLed::connectSignal()
{
    auto onState = [this](QObject *, bool on) { applyState(on ? lsOn : lsOff); };
    link_.OnConn = link_.OnCTSChange = link_.OnDSRChange = link_.OnRLSDChange = nullptr;
    link_.OnRx = link_.OnTx = nullptr;
    link_.OnRing = nullptr;
    switch (signal_) {
    case lsConn: link_.OnConn = onState; break;
    case lsCTS: link_.OnCTSChange = onState; break;
    case lsDSR: link_.OnDSRChange = onState; break;
    case lsRLSD: link_.OnRLSDChange = onState; break;
    case lsRx: link_.OnRx = onState; break;
    case lsTx: link_.OnTx = onState; break;
    case lsRing:
        link_.OnRing = [this](QObject *) {
            ringTimer_.start();
            applyState(lsOn);
        };
        break;
    }
}

void TComLed::setKind(TLedKind k)
{
    if (k == kind_)
        return;
    kind_ = k;
    loadGlyphs();
    update();
}

void TComLed::loadGlyphs()
{
    if (kind_ == lkCustom)
        return;
    const QString base = QStringLiteral("LED") + QLatin1String(kGlyphNames[kind_]);
    glyphOn_ = QPixmap(glyphResource(base + QStringLiteral("ON")));
    glyphOff_ = QPixmap(glyphResource(base + QStringLiteral("OFF")));
}

void TComLed::setGlyphOn(const QPixmap &p)
{
    if (kind_ != lkCustom)
        return;
    glyphOn_ = p;
    update();
}

void TComLed::setGlyphOff(const QPixmap &p)
{
    if (kind_ != lkCustom)
        return;
    glyphOff_ = p;
    update();
}

void TComLed::setState(TLedState s)
{
    if (port_)
        throw EComPort(19);
    applyState(s);
}

void TComLed::applyState(TLedState s)
{
    state_ = s;
    if (OnChange)
        OnChange(this, s);
    // Paint now: the signal may come from inside a long handler.
    repaint();
}

void TComLed::paintEvent(QPaintEvent *)
{
    if (glyphOn_.isNull() || glyphOff_.isNull())
        loadGlyphs();
    const QPixmap &p = isEnabled() && state_ == lsOn ? glyphOn_ : glyphOff_;
    if (p.isNull())
        return;
    const QRect r = contentsRect();
    QPainter painter(this);
    painter.drawPixmap(r.left() + std::max(0, (r.width() - p.width()) / 2),
                       r.top() + std::max(0, (r.height() - p.height()) / 2), p);
}
