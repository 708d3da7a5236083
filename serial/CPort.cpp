#include "serial/CPort.h"

#include "serial/ComDevice.h"
#include "serial/ComThread.h"

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

// ---------------------------------------------------------------- errors

namespace {

std::vector<QString> &errorTexts()
{
    static std::vector<QString> texts = {
        QStringLiteral("Unable to open com port"),
        QStringLiteral("WriteFile function failed"),
        QStringLiteral("ReadFile function failed"),
        QStringLiteral("Invalid Async parameter"),
        QStringLiteral("PurgeComm function failed"),
        QStringLiteral("Unable to get async status"),
        QStringLiteral("SetCommState function failed"),
        QStringLiteral("SetCommTimeouts failed"),
        QStringLiteral("SetupComm function failed"),
        QStringLiteral("ClearCommError function failed"),
        QStringLiteral("GetCommModemStatus function failed"),
        QStringLiteral("EscapeCommFunction function failed"),
        QStringLiteral("TransmitCommChar function failed"),
        QStringLiteral("Cannot set property while connected"),
        QStringLiteral("EnumPorts function failed"),
        QStringLiteral("Failed to store settings"),
        QStringLiteral("Failed to load settings"),
        QStringLiteral("Link (un)registration failed"),
        QStringLiteral("Cannot change led state if ComPort is selected"),
        QStringLiteral("Cannot wait for event if event thread is created"),
        QStringLiteral("WaitForEvent method failed"),
        QStringLiteral("A component is linked to OnRxBuf event"),
        QStringLiteral("Registry error"),
    };
    return texts;
}

std::function<QString()> &errorSuffix()
{
    static std::function<QString()> suffix = [] {
        return QStringLiteral(" (win error code: %d)");
    };
    return suffix;
}

std::string errorMessage(int code, int winCode)
{
    QString text = comErrorText(code);
    if (winCode != -1)
        text += errorSuffix()().replace(QLatin1String("%d"), QString::number(winCode));
    return text.toStdString();
}

} // namespace

QString comErrorText(int code)
{
    const auto &texts = errorTexts();
    if (code < 1 || code > static_cast<int>(texts.size()))
        return QString();
    return texts[static_cast<size_t>(code - 1)];
}

void setComErrorTexts(const std::vector<QString> &texts)
{
    if (texts.size() == errorTexts().size())
        errorTexts() = texts;
}

void setComErrorSuffix(std::function<QString()> suffix)
{
    errorSuffix() = std::move(suffix);
}

EComPort::EComPort(ComError code, int winCode)
    : std::runtime_error(errorMessage(int(code), winCode)), Code(int(code)), WinCode(winCode)
{
}

int baudRateValue(TBaudRate rate)
{
    static constexpr int values[] = {0,     110,   300,   600,    1200,   2400,   4800,  9600,
                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return values[rate];
}
// -------------------------------------------------------------- the port

TCustomComPort::TCustomComPort(QObject *owner) : QObject(owner) {}

TCustomComPort::~TCustomComPort()
{
    try {
        Close();
    } catch (...) {
        // Nothing can be reported from a destructor; the device is released
        // below all the same.
    }
    thread_.reset();
    retiring_.clear();
    device_.reset();
}

QString TCustomComPort::devicePath(const QString &port)
{
    if (port.startsWith(QLatin1Char('/')))
        return port;
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(port);
    if (m.hasMatch() && m.captured(1).toInt() >= 1)
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    return QStringLiteral("/dev/") + port;
}

bool TCustomComPort::Connected() const
{
    return connected_;
}

void TCustomComPort::setConnected(bool v)
{
    if (loading_) {
        connected_ = v;
        return;
    }
    if (v == connected_)
        return;
    if (v)
        Open();
    else
        Close();
}

void TCustomComPort::setBaudRate(TBaudRate v) { setLineSetting(baudRate_, v); }

void TCustomComPort::setCustomBaudRate(int v) { setLineSetting(customBaudRate_, v); }

void TCustomComPort::setPort(const QString &v)
{
    if (v == port_)
        return;
    port_ = v;
    if (connected_ && !loading_) {
        Close();
        Open();
    }
}

void TCustomComPort::setParity(const TComParity &v) { parity_.Assign(v); }

void TCustomComPort::setStopBits(TStopBits v) { setLineSetting(stopBits_, v); }

void TCustomComPort::setDataBits(TDataBits v) { setLineSetting(dataBits_, v); }

void TCustomComPort::setDiscardNull(bool v) { setLineSetting(discardNull_, v); }

void TCustomComPort::setEventChar(char v) { setLineSetting(eventChar_, v); }

void TCustomComPort::setBuffer(const TComBuffer &v) { buffer_.Assign(v); }
void TCustomComPort::setFlowControl(const TComFlowControl &v) { flowControl_.Assign(v); }
void TCustomComPort::setTimeouts(const TComTimeouts &v) { timeouts_.Assign(v); }

void TCustomComPort::setSyncMethod(TSyncMethod v)
{
    if (v == syncMethod_)
        return;
    if (connected_)
        throw EComPort(ComError::SetWhileConnected);
    syncMethod_ = v;
}

// ------------------------------------------------------- open and close

void TCustomComPort::Open()
{
    if (connected_)
        return;
    DoBeforeOpen();
    OpenDevice();
    connected_ = true;
    try {
        ApplySettings();
    } catch (...) {
        CloseDevice();
        connected_ = false;
        throw;
    }
    ++generation_;
    if (!events_.empty())
        thread_ = std::make_unique<TComThread>(this, device_, events_, syncMethod_, generation_);
    // The after-open sequence.
    signalLinks(&TComLink::OnConn, true);
    DoAfterOpen();
    reportLineSignals();
}

void TCustomComPort::Close()
{
    closeSequence(false);
}

void TCustomComPort::closeSequence(bool deadDevice)
{
    if (!connected_)
        return;
    signalLinks(&TComLink::OnCTSChange, false);
    signalLinks(&TComLink::OnDSRChange, false);
    signalLinks(&TComLink::OnRLSDChange, false);
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    if (int err = device_->purge(true, false); err && !deadDevice)
        throw EComPort(ComError::PurgeFailed, err);
    if (thread_) {
        thread_->stop();
        if (thread_->joinPending())
            retiring_.push_back(std::move(thread_));
        thread_.reset();
    }
    CloseDevice();
    connected_ = false;
    signalLinks(&TComLink::OnConn, false);
    DoAfterClose();
}

void TCustomComPort::reportUnhandled(const std::exception &e)
{
    if (OnUnhandledError)
        OnUnhandledError(e);
}

void TCustomComPort::closeAfterDeviceLost(unsigned generation)
{
    if (generation != generation_ || !connected_)
        return;
    try {
        closeSequence(true);
    } catch (const std::exception &e) {
        reportUnhandled(e);
    }
    if (OnDeviceLost)
        OnDeviceLost(this);
}

void TCustomComPort::serveDeliveries()
{
    if (thread_)
        thread_->serveHandOver();
    for (auto &t : retiring_)
        t->serveHandOver();
}

void TCustomComPort::reapRetired()
{
    retiring_.clear(); // each joins its thread, which has been told to stop
}

void TCustomComPort::OpenDevice()
{
    device_ = std::make_shared<ComDevice>(devicePath(port_));
}

void TCustomComPort::CloseDevice()
{
    if (device_) {
        // A retiring event thread may still hold the device for a moment;
        // the port is free for the next open all the same.
        device_->releaseClaim();
        device_.reset();
    }
}

// ------------------------------------------------------------ applying

LineConfig lineConfigOf(const TCustomComPort &port)
{
    LineConfig c;
    c.baud = port.BaudRate() == brCustom ? port.CustomBaudRate() : baudRateValue(port.BaudRate());
    c.dataBits = 5 + static_cast<int>(port.DataBits());
    c.parity = port.Parity().Bits();
    c.stopBits = port.StopBits();
    c.parityCheck = port.Parity().Check();
    c.outCtsFlow = port.FlowControl().OutCTSFlow();
    c.rtsHandshake = port.FlowControl().ControlRTS() == rtsHandshake;
    c.dtr = port.FlowControl().ControlDTR();
    c.rts = port.FlowControl().ControlRTS();
    c.xonXoffOut = port.FlowControl().XonXoffOut();
    c.xonXoffIn = port.FlowControl().XonXoffIn();
    c.xonChar = port.FlowControl().XonChar();
    c.xoffChar = port.FlowControl().XoffChar();
    c.discardNull = port.DiscardNull();
    c.eventChar = port.EventChar();
    return c;
}

bool TCustomComPort::canApply() const
{
    return connected_ && device_ && updateCount_ == 0 && !loading_;
}

void TCustomComPort::ApplySettings()
{
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

void TCustomComPort::ApplyLineSettings()
{
    if (!canApply())
        return;
    if (int err = device_->applyLine(lineConfigOf(*this)))
        throw EComPort(ComError::SetLineState, err);
}

void TCustomComPort::ApplyTimeouts()
{
    if (!canApply())
        return;
    // Passed on bit for bit: -1 is "all bits set", no interval limit.
    TimeoutConfig t;
    t.readInterval = static_cast<std::uint32_t>(timeouts_.ReadInterval());
    t.readMultiplier = static_cast<std::uint32_t>(timeouts_.ReadTotalMultiplier());
    t.readConstant = static_cast<std::uint32_t>(timeouts_.ReadTotalConstant());
    t.writeMultiplier = static_cast<std::uint32_t>(timeouts_.WriteTotalMultiplier());
    t.writeConstant = static_cast<std::uint32_t>(timeouts_.WriteTotalConstant());
    if (int err = device_->applyTimeouts(t))
        throw EComPort(ComError::SetTimeouts, err);
}

void TCustomComPort::ApplyBufferSizes()
{
    if (!canApply())
        return;
    if (int err = device_->applyBufferSizes(buffer_.InputSize(), buffer_.OutputSize()))
        throw EComPort(ComError::SetBufferSizes, err);
}

void TCustomComPort::BeginUpdate()
{
    ++updateCount_;
}

void TCustomComPort::EndUpdate()
{
    if (updateCount_ <= 0)
        return;
    if (--updateCount_ == 0)
        ApplySettings();
}

void TCustomComPort::beginLoading()
{
    loading_ = true;
}

void TCustomComPort::endLoading()
{
    loading_ = false;
    Loaded();
}

void TCustomComPort::Loaded()
{
    if (!connected_)
        return;
    connected_ = false;
    try {
        Open();
    } catch (const std::exception &e) {
        reportUnhandled(e);
    }
}

// ------------------------------------------------------------- transfers

int TCustomComPort::Read(void *buffer, int count)
{
    if (!device_)
        throw EComPort(ComError::ReadFailed, EBADF);
    const auto r = device_->read(static_cast<char *>(buffer), count);
    if (r.error)
        throw EComPort(ComError::ReadFailed, r.error);
    if (device_->queueSize() == 0)
        signalLinks(&TComLink::OnRx, false);
    return r.count;
}

int TCustomComPort::Write(const void *buffer, int count)
{
    if (!device_)
        throw EComPort(ComError::WriteFailed, EBADF);
    signalLinks(&TComLink::OnTx, true);
    const auto *bytes = static_cast<const char *>(buffer);
    const auto r = device_->write(bytes, count);
    if (r.error)
        throw EComPort(ComError::WriteFailed, r.error);
    signalLinks(&TComLink::OnTxBuf, bytes, r.count);
    return r.count;
}

int TCustomComPort::QueuedInputCount()
{
    if (!device_)
        throw EComPort(ComError::ClearErrors, EBADF);
    int err = 0;
    const int n = device_->queued(&err);
    if (err)
        throw EComPort(ComError::ClearErrors, err);
    return n;
}

TComSignals TCustomComPort::LineSignals()
{
    if (!device_)
        throw EComPort(ComError::ModemStatus, EBADF);
    unsigned bits = 0;
    if (int err = device_->modemStatus(&bits))
        throw EComPort(ComError::ModemStatus, err);
    TComSignals s;
    if (bits & msCTS)
        s.insert(csCTS);
    if (bits & msDSR)
        s.insert(csDSR);
    if (bits & msRing)
        s.insert(csRing);
    if (bits & msRLSD)
        s.insert(csRLSD);
    return s;
}

TComErrors TCustomComPort::TakeLineErrors()
{
    if (!device_)
        throw EComPort(ComError::ClearErrors, EBADF);
    const unsigned f = device_->takeErrors();
    TComErrors e;
    if (f & ceFrameFlag)
        e.insert(ceFrame);
    if ((f & ceParityFlag) && parity_.Check())
        e.insert(ceRxParity);
    if (f & ceOverrunFlag)
        e.insert(ceOverrun);
    if (f & ceRxOverFlag)
        e.insert(ceRxOver);
    if (f & ceTxFullFlag)
        e.insert(ceTxFull);
    if (f & ceBreakFlag)
        e.insert(ceBreak);
    if (f & ceIOFlag)
        e.insert(ceIO);
    if (f & ceModeFlag)
        e.insert(ceMode);
    return e;
}

