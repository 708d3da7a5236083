#pragma once

// Controls that follow a serial port: the link LED and the setting combo box.

#include "serial/CPort.h"

#include <QComboBox>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

enum TComLedSignal { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind {
    lkRedLight, lkGreenLight, lkBlueLight, lkYellowLight, lkPurpleLight, lkBulb, lkCustom
};
enum TLedState { lsOff, lsOn };

using TLedStateEvent = std::function<void(QObject *Sender, TLedState AState)>;

class TComLed : public QWidget
{
    Q_OBJECT

public:
    explicit TComLed(QWidget *parent = nullptr);
    ~TComLed() override;

    TCustomComPort *ComPort() const { return port_; }
    void setComPort(TCustomComPort *port);
    TComLedSignal LedSignal() const { return signal_; }
    void setLedSignal(TComLedSignal s);
    TLedKind Kind() const { return kind_; }
    void setKind(TLedKind k);
    QPixmap GlyphOn() const { return glyphOn_; }
    void setGlyphOn(const QPixmap &p);
    QPixmap GlyphOff() const { return glyphOff_; }
    void setGlyphOff(const QPixmap &p);
    TLedState State() const { return state_; }
    // Raises error 19 while a port is assigned: then the port decides.
    void setState(TLedState s);
    int RingDuration() const { return ringTimer_.interval(); }
    void setRingDuration(int ms) { ringTimer_.setInterval(ms); }

    TLedStateEvent OnChange;

    // The resource path of a picture ("LEDGREENON", ...).
    static QString glyphResource(const QString &name);

    QSize sizeHint() const override { return {25, 25}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void connectSignal();
    void loadGlyphs();
    void applyState(TLedState s);
    bool signalActiveNow();

    TComLink link_;
    QPointer<TCustomComPort> port_;
    QMetaObject::Connection portDestroyed_;
    TComLedSignal signal_ = lsConn;
    TLedKind kind_ = lkRedLight;
    QPixmap glyphOn_, glyphOff_;
    TLedState state_ = lsOff;
    QTimer ringTimer_;
};

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The values a combo box edits before they are written to the port.
struct TComSelect
{
    QString Port;
    TBaudRate BaudRate = brCustom;
    TDataBits DataBits = dbFive;
    TStopBits StopBits = sbOneStopBit;
    TParityBits Parity = prNone;
    TFlowControl FlowControl = fcHardware;
};

// A drop-down list of one setting of a port (its name, rate, data bits, stop
// bits, parity or flow control).
class TComComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TComComboBox(QWidget *parent = nullptr);

    TCustomComPort *ComPort() const { return port_; }
    void setComPort(TCustomComPort *port);
    TComProperty ComProperty() const { return property_; }
    void setComProperty(TComProperty p);
    bool AutoApply = false;
    QString Text() const;
    void setText(const QString &text);

    TComSelect Selected;

    // Selects the port's current value (and takes it as the edited value).
    void UpdateSettings();
    // Writes the edited value to the port.
    void ApplySettings();

private:
    void addPortItems(const QStringList &ports);
    QString currentValueText() const;
    void selectionChanged(int index);

    QPointer<TCustomComPort> port_;
    QMetaObject::Connection portDestroyed_;
    TComProperty property_ = cpNone;
};
