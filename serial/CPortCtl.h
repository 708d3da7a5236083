#pragma once

// Controls that follow a serial port: the link LED.

#include "CPort.h"

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
