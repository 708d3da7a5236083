#include "serial/CPortCtl.h"
#include "serial/CPortSetup.h"

#include "platform/messages.h"

#include <QAbstractItemView>
#include <QPainter>

#include <algorithm>

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
        throw EComPort(ComError::LedState);
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

TComComboBox::TComComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false); // a drop-down list
    connect(this, &QComboBox::activated, this, &TComComboBox::selectionChanged);
    // What the chosen port is shows over the closed box too.
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int i) { setToolTip(itemData(i, Qt::ToolTipRole).toString()); });
}

namespace {

// "FTDI FT232R USB UART", "USB 0403:6001, serial number A10K1" and the
// stable link, each on a line of its own; empty for a port with nothing known.
QString portDescription(const SerialPortDetails &d)
{
    QStringList lines;
    const QString names = (d.manufacturer + QLatin1Char(' ') + d.product).trimmed();
    if (!names.isEmpty())
        lines << names;
    if (!d.vendorId.isEmpty()) {
        QString usb = QStringLiteral("USB %1:%2").arg(d.vendorId, d.productId);
        if (!d.serial.isEmpty())
            usb += QStringLiteral(", ") + Messages::text("cport", QStringLiteral("serial number")) + QLatin1Char(' ')
                   + d.serial;
        lines << usb;
    }
    if (!d.byId.isEmpty())
        lines << d.byId;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void TComComboBox::addPortItems(const QStringList &ports)
{
    // Each port by its name, and right after it by its stable link when it
    // has one: a port chosen by the link is found again in any USB socket.
    for (const QString &name : ports) {
        const SerialPortDetails details = describeSerialPort(name);
        const QString description = portDescription(details);
        for (const QString &text : {name, details.byId}) {
            if (text.isEmpty())
                continue;
            addItem(text);
            setItemData(count() - 1, description, Qt::ToolTipRole);
        }
    }
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    view()->setMinimumWidth(widest + 24);
}

void TComComboBox::setComPort(TCustomComPort *port)
{
    if (port == port_)
        return;
    disconnect(portDestroyed_);
    port_ = port;
    if (port_) {
        portDestroyed_ = connect(port_, &QObject::destroyed, this, [this] {
            port_ = nullptr;
            if (count() > 0)
                setCurrentIndex(0);
        });
        UpdateSettings();
    }
}

void TComComboBox::setComProperty(TComProperty p)
{
    property_ = p;
    clear();
    QStringList items;
    switch (p) {
    case cpNone: break;
    case cpPort:
        ListSerialPorts(items);
        addPortItems(items);
        items.clear();
        break;
    case cpBaudRate: items = baudRateTexts(); break;
    case cpDataBits: items = dataBitsTexts(); break;
    case cpStopBits: items = stopBitsTexts(); break;
    case cpParity: items = parityTexts(); break;
    case cpFlowControl: items = flowControlTexts(); break;
    }
    addItems(items);
    if (count() == 0)
        return;
    if (port_)
        UpdateSettings();
    else
        setCurrentIndex(0);
}

QString TComComboBox::Text() const
{
    return currentIndex() >= 0 ? currentText() : QString();
}

void TComComboBox::setText(const QString &text)
{
    const int i = findText(text, Qt::MatchExactly);
    if (i >= 0)
        setCurrentIndex(i);
}

QString TComComboBox::currentValueText() const
{
    switch (property_) {
    case cpPort: return port_->Port();
    case cpBaudRate: return baudRateToStr(port_->BaudRate());
    case cpDataBits: return dataBitsToStr(port_->DataBits());
    case cpStopBits: return stopBitsToStr(port_->StopBits());
    case cpParity: return parityToStr(port_->Parity().Bits());
    case cpFlowControl: return flowControlToStr(port_->FlowControl().FlowControl());
    case cpNone: break;
    }
    return QString();
}

void TComComboBox::UpdateSettings()
{
    if (!port_ || property_ == cpNone)
        return;
    const QString value = currentValueText();
    int i = findText(value, Qt::MatchExactly);
    // A port the system does not list (a pseudo-terminal, a device under an
    // unusual name) stays choosable: it is added rather than left unselected,
    // which would set an empty name on OK.
    if (i < 0 && property_ == cpPort && !value.isEmpty()) {
        addItem(value);
        i = count() - 1;
    }
    setCurrentIndex(i);
    if (i >= 0)
        selectionChanged(i);
}

void TComComboBox::selectionChanged(int index)
{
    const QString text = index >= 0 ? itemText(index) : QString();
    switch (property_) {
    case cpPort: Selected.Port = text; break;
    case cpBaudRate: Selected.BaudRate = strToBaudRate(text); break;
    case cpDataBits: Selected.DataBits = strToDataBits(text); break;
    case cpStopBits: Selected.StopBits = strToStopBits(text); break;
    case cpParity: Selected.Parity = strToParity(text); break;
    case cpFlowControl: Selected.FlowControl = strToFlowControl(text); break;
    case cpNone: break;
    }
    if (AutoApply)
        ApplySettings();
}

void TComComboBox::ApplySettings()
{
    if (!port_)
        return;
    switch (property_) {
    case cpPort: port_->setPort(Selected.Port); break;
    case cpBaudRate: port_->setBaudRate(Selected.BaudRate); break;
    case cpDataBits: port_->setDataBits(Selected.DataBits); break;
    case cpStopBits: port_->setStopBits(Selected.StopBits); break;
    case cpParity: port_->Parity().setBits(Selected.Parity); break;
    case cpFlowControl: port_->FlowControl().setFlowControl(Selected.FlowControl); break;
    case cpNone: break;
    }
}
