#pragma once

// The serial port component: one serial device with its line settings,
// opened and closed on the GUI thread, with a background thread that waits
// for line events and hands them to the GUI thread.

#include <QObject>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "serial/CPortTypes.h"
#include "serial/EComPort.h"
#include "serial/lineconfig.h"

class TCustomComPort;

using TNotifyEvent = std::function<void(QObject *Sender)>;
using TRxCharEvent = std::function<void(QObject *Sender, int Count)>;
using TRxBufEvent = std::function<void(QObject *Sender, const char *Buffer, int Count)>;
using TComSignalEvent = std::function<void(QObject *Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(QObject *Sender, TComErrors Errors)>;

// Slots through which a control follows the port's signals; the port keeps
// a list of attached links but does not own them.
struct TComLink
{
    TComSignalEvent OnConn;
    TRxBufEvent OnRxBuf;
    TRxBufEvent OnTxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnRxFlag;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRing;
    TComSignalEvent OnTx;
    TComSignalEvent OnRx;
};

// Settings groups: owned by the port, each setter stores its value and, when
// it changed, applies its part of the settings at once.
class TComParity
{
public:
    explicit TComParity(TCustomComPort *port) : port_(port) {}
    TComParity(const TComParity &) = delete;
    TComParity &operator=(const TComParity &) = delete;

    TParityBits Bits() const { return bits_; }
    void setBits(TParityBits v);
    bool Check() const { return check_; }
    void setCheck(bool v);
    bool Replace() const { return replace_; }
    void setReplace(bool v);
    char ReplaceChar() const { return replaceChar_; }
    void setReplaceChar(char v);
    void Assign(const TComParity &other);

private:
    TCustomComPort *port_;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComFlowControl
{
public:
    explicit TComFlowControl(TCustomComPort *port) : port_(port) {}
    TComFlowControl(const TComFlowControl &) = delete;
    TComFlowControl &operator=(const TComFlowControl &) = delete;

    bool OutCTSFlow() const { return outCTSFlow_; }
    void setOutCTSFlow(bool v);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void setOutDSRFlow(bool v);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void setControlDTR(TDTRFlowControl v);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void setControlRTS(TRTSFlowControl v);
    bool XonXoffOut() const { return xonXoffOut_; }
    void setXonXoffOut(bool v);
    bool XonXoffIn() const { return xonXoffIn_; }
    void setXonXoffIn(bool v);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void setDSRSensitivity(bool v);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void setTxContinueOnXoff(bool v);
    char XonChar() const { return xonChar_; }
    void setXonChar(char v);
    char XoffChar() const { return xoffChar_; }
    void setXoffChar(char v);

    // The summary of the flags above (not stored).
    TFlowControl FlowControl() const;
    void setFlowControl(TFlowControl v);

    void Assign(const TComFlowControl &other);

private:
    TCustomComPort *port_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

class TComTimeouts
{
public:
    explicit TComTimeouts(TCustomComPort *port) : port_(port) {}
    TComTimeouts(const TComTimeouts &) = delete;
    TComTimeouts &operator=(const TComTimeouts &) = delete;

    int ReadInterval() const { return readInterval_; }
    void setReadInterval(int v);
    int ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void setReadTotalMultiplier(int v);
    int ReadTotalConstant() const { return readTotalConstant_; }
    void setReadTotalConstant(int v);
    int WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void setWriteTotalMultiplier(int v);
    int WriteTotalConstant() const { return writeTotalConstant_; }
    void setWriteTotalConstant(int v);
    void Assign(const TComTimeouts &other);

private:
    void set(int &field, int v);

    TCustomComPort *port_;
    int readInterval_ = -1;
    int readTotalMultiplier_ = 0;
    int readTotalConstant_ = 0;
    int writeTotalMultiplier_ = 100;
    int writeTotalConstant_ = 1000;
};

class TComBuffer
{
public:
    explicit TComBuffer(TCustomComPort *port) : port_(port) {}
    TComBuffer(const TComBuffer &) = delete;
    TComBuffer &operator=(const TComBuffer &) = delete;

    int InputSize() const { return inputSize_; }
    void setInputSize(int v);
    int OutputSize() const { return outputSize_; }
    void setOutputSize(int v);
    void Assign(const TComBuffer &other);

private:
    void set(int &field, int v);

    TCustomComPort *port_;
    int inputSize_ = 1024;
    int outputSize_ = 1024;
};

class ComDevice;
class TComThread;

class TCustomComPort : public QObject
{
    Q_OBJECT

public:
    explicit TCustomComPort(QObject *owner = nullptr);
    ~TCustomComPort() override;

    // Properties; setters apply at once (see the groups above).
    bool Connected() const;
    void setConnected(bool v);
    TBaudRate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudRate v);
    int CustomBaudRate() const { return customBaudRate_; }
    void setCustomBaudRate(int v);
    QString Port() const { return port_; }
    void setPort(const QString &v);
    TComParity &Parity() { return parity_; }
    const TComParity &Parity() const { return parity_; }
    void setParity(const TComParity &v);
    TStopBits StopBits() const { return stopBits_; }
    void setStopBits(TStopBits v);
    TDataBits DataBits() const { return dataBits_; }
    void setDataBits(TDataBits v);
    bool DiscardNull() const { return discardNull_; }
    void setDiscardNull(bool v);
    char EventChar() const { return eventChar_; }
    void setEventChar(char v);
    // Read only when the port opens.
    TComEvents Events() const { return events_; }
    void setEvents(TComEvents v) { events_ = v; }
    TComBuffer &Buffer() { return buffer_; }
    const TComBuffer &Buffer() const { return buffer_; }
    void setBuffer(const TComBuffer &v);
    TComFlowControl &FlowControl() { return flowControl_; }
    const TComFlowControl &FlowControl() const { return flowControl_; }
    void setFlowControl(const TComFlowControl &v);
    TComTimeouts &Timeouts() { return timeouts_; }
    const TComTimeouts &Timeouts() const { return timeouts_; }
    void setTimeouts(const TComTimeouts &v);
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void setSyncMethod(TSyncMethod v);

    // Events, raised on the GUI thread with smThreadSync.
    TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty, OnBreak, OnRing;
    TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    // The device went away while open (adapter pulled, read error, hang-up);
    // the port has just been closed.
    TNotifyEvent OnDeviceLost;
    // An error of the port's own doing, outside any call of the program: an
    // opening that failed at the end of loading stored settings, a close
    // after the device was lost. The component has no window to show it in.
    std::function<void(const std::exception &)> OnUnhandledError;
    TNotifyEvent OnRx80Full;

    void Open();
    void Close();
    int Read(void *buffer, int count);
    int Write(const void *buffer, int count);
    int QueuedInputCount();
    TComSignals LineSignals();
    TComErrors TakeLineErrors();

    void BeginUpdate();
    void EndUpdate();
    void ApplySettings();

    void AttachLink(TComLink *link);
    void DetachLink(TComLink *link);

    // The stored settings (the basic group: port name and line settings) in
    // the section named after the port's objectName(). Failures raise error 16
    // (store) or 17 (load); loading applies everything once at the end.
    void SaveSettings(TStoreType kind, const QString &location);
    void LoadSettings(TStoreType kind, const QString &location);
    // Which groups SaveSettings and LoadSettings cover; the basic group only
    // unless changed.
    TStoredGroups StoredGroups() const { return storedGroups_; }
    void setStoredGroups(TStoredGroups groups) { storedGroups_ = groups; }

    // While the stored settings are read, property writes only store; the
    // end of loading opens the port if it was stored connected.
    void beginLoading();
    void endLoading();

    // The device path a port name stands for: an absolute path is used as it
    // is, "COMn" is /dev/ttyS(n-1), any other name is /dev/<name>.
    static QString devicePath(const QString &port);

protected:
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeouts();
    virtual void ApplyBufferSizes();
    virtual void Loaded();
    void reportUnhandled(const std::exception &e);

    // Event hooks, one per event.
    virtual void DoAfterOpen();
    virtual void DoAfterClose();
    virtual void DoBeforeOpen();
    virtual void DoBeforeClose();
    virtual void DoRxChar(int count);
    virtual void DoRxBuf(const char *buffer, int count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoCTSChange(bool on);
    virtual void DoDSRChange(bool on);
    virtual void DoRLSDChange(bool on);
    virtual void DoRxFlag();
    virtual void DoError(TComErrors errors);
    virtual void DoRx80Full();

private:
    friend class TComThread;
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;

    bool canApply() const;
    void closeAfterDeviceLost(unsigned generation);
    void serveDeliveries();
    void reapRetired();
    void closeSequence(bool tolerateDeadDevice);
    // Handling of one delivered set of events, in the fixed order.
    void handleEvents(TComEvents events);
    void reportLineSignals();
    // A handler may detach its link; walk a copy and skip the detached.
    template <typename Fn>
    void forEachLink(Fn fn)
    {
        const std::vector<TComLink *> links = links_;
        for (TComLink *l : links)
            if (std::find(links_.begin(), links_.end(), l) != links_.end())
                fn(*l);
    }
    // Sends one signal to every attached link that has a handler for it.
    template <typename Slot, typename... Args>
    void signalLinks(Slot TComLink::*slot, Args... args)
    {
        forEachLink([&](TComLink &l) {
            if (l.*slot)
                (l.*slot)(this, args...);
        });
    }
    // Stores a line setting and, when it changed, applies the line settings.
    template <typename T>
    void setLineSetting(T &field, T v)
    {
        if (v != field) {
            field = v;
            ApplyLineSettings();
        }
    }

    bool connected_ = false;
    bool loading_ = false;
    TBaudRate baudRate_ = br9600;
    int customBaudRate_ = 9600;
    QString port_ = QStringLiteral("COM1");
    TComParity parity_{this};
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = AllComEvents;
    TComBuffer buffer_{this};
    TComFlowControl flowControl_{this};
    TComTimeouts timeouts_{this};
    TSyncMethod syncMethod_ = smThreadSync;
    TStoredGroups storedGroups_{sgBasic};
    int updateCount_ = 0;
    std::vector<TComLink *> links_;
    bool hasBufferLink_ = false;
    bool rxCharEnabled_ = true;

    std::shared_ptr<ComDevice> device_;
    std::unique_ptr<TComThread> thread_;
    // Threads stopped from inside their own delivery, joined once it returns.
    std::vector<std::unique_ptr<TComThread>> retiring_;
    unsigned generation_ = 0;
};

class TComPort : public TCustomComPort
{
    Q_OBJECT

public:
    using TCustomComPort::TCustomComPort;
};

// The line configuration a port's properties stand for.
LineConfig lineConfigOf(const TCustomComPort &port);
