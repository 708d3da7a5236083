#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <utility>

// An independent model of how the receiver frames a byte stream and how the
// decoder turns packets into log lines, curve points and status texts,
// written from the protocol's tables alone. It knows nothing of keeping step:
// it is only ever given streams a charger in step sends.
class PacketOracle
{
public:
    struct Settings
    {
        int adcStep = 250;   // 1/100 mV per count, 1..500 (AdcStep and UpDStepADC alike)
        int senseR = 51;     // current-sense resistor, 1/100 ohm, 1..300
        int rdTenths = 39;   // discharge resistor, 1/10 ohm, 1..100
        bool settingsPageShown = false;  // TabSetup is the page shown
        bool chartingSensors = false;    // "Строить графики" checked
        std::array<bool, 4> viewOn{true, true, true, true}; // BtnViewA, BtnViewAT, BtnViewB, BtnViewBT
        QChar decimal = QLatin1Char(',');                   // the locale's decimal separator
        bool logEnabled = false;                            // the link log is kept
    };
    // The clock stands still while the oracle runs: the texts of the charge
    // time in long time format (e.g. "0:12:07"), of the charge time as "h:nn"
    // (e.g. "0:12") and of the wall clock as "hh-nn-ss-zzz" are given.
    PacketOracle(Settings settings, QString chargeTime, QString hoursMinutes, QString wallStamp);

    // A received-characters event with `count` (>= 1) bytes waiting.
    void event(const quint8 *bytes, int count);
    // A tick of the silence timer.
    void silenceTick();
    // A read or write request went out: a parameter-block reply is awaited (ReadMode set).
    void replyAwaited();

    std::array<QStringList, 2> logs;              // Memo1 (channel A), Memo2 (channel B)
    std::array<QList<double>, 4> points;          // values appended to A(U), A(T), B(U), B(T)
    std::array<QStringList, 4> pointLabels;       // their label texts
    QStringList status;                           // every text shown in panel 1 of the status bar, in order
    QList<QByteArray> replies;                    // all held bytes handed to the block-reply handler, per call
    QList<std::pair<double, double>> sensorReadings; // readings shown in LbTemperaturaA/B (sensor 1, sensor 2) in degrees
    QString linkLog;                              // what the link log gained (everything after its legend)
    qint32 receivedTotal = 0;                     // RecvTotal
    bool readMode() const;
    int held() const;                             // RecvCount

private:
    static constexpr int BufferSize = 257;  // RecvBuffer
    static constexpr int MaxRead = 256;     // the local chunk of one read

    int readSize(int waiting) const;
    void read(const quint8 *bytes, int n, const QString &earlierHandOn);
    void handOn(int count);
    QString dataReceivePart(int count) const;

    bool decode(const QByteArray &bytes);   // false when decoding broke off
    void addPoint(int series, double value);
    void measurement(int ch, quint16 adc, qint16 tenths);
    void endReport(int ch, quint8 flags);
    bool internalResistance(int ch, quint16 emf, quint16 ur);
    void parameterLines(int ch, quint16 current, quint8 mode);

    QString fixed(qint64 scaled, int places, bool negative) const;
    QString receiveError() const;

    Settings m_settings;
    QString m_chargeTime;
    QString m_hoursMinutes;
    QString m_wallStamp;
    QByteArray m_held;
    bool m_readMode = false;
};
