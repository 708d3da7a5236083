#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The two channels of the charger: odd packet codes belong to A, even to B.
enum class Channel { A, B };

// The four curves: voltage and temperature of each channel.
enum class SeriesId { AU, AT, BU, BT };

// What one packet told about a channel, before it is a log's lines: the
// decoder reports these, and its log lines are formatted from them in one
// place (logLines in link/statistika.h).
struct LogEvent
{
    enum class Kind {
        Sample,         // a measurement (codes 01, 02)
        EndReport,      // the charge ended (03, 04)
        Resistance,     // the cell's internal resistance (05, 06)
        ChargeStart,    // a charge's parameter block (07, 08)
        DischargeStart, // a discharge's (09, 0A)
        Unrecognised,   // a packet with a code the charger never sends
    };
    Kind kind = Kind::Sample;
    Channel channel = Channel::A;
    QString chargeTime;           // as the log prints it
    quint16 adc = 0;              // Sample: the ADC count
    qint16 tenths = 0;            // Sample: the temperature, 1/10 degree
    int adcStep = 0;              // Sample: the step it is converted with
    quint8 flags = 0;             // EndReport: one bit a reason
    quint16 emf = 0, loaded = 0;  // Resistance: the cell's voltages
    quint16 current = 0;          // ChargeStart, DischargeStart: fast current, ADC units
    quint8 mode = 0;              // ChargeStart, DischargeStart: chemistry and stop bits
    QString dump;                 // Unrecognised: " 0xNN" for each byte of its read
    // The settings its lines were formatted with, as the settings page
    // held them when it came (blocks: the step and R; resistance: Rd).
    int stepSetting = 0, senseR = 0, rdTenths = 0;
};

// What the link routines act on: the main window implements it. Keeping the
// routines behind this seam lets the link library stay free of widgets, and
// lets the window batch its memo updates (see TfmMain).
class LinkView
{
public:
    virtual ~LinkView() = default;

    // The channel logs (Memo1 for A, Memo2 for B).
    virtual void addLogLine(Channel ch, const QString &line) = 0;
    virtual int logLineCount(Channel ch) const = 0;
    // An event's lines (given) are in its channel's log.
    virtual void logged(const LogEvent &, const QStringList &) {}

    // A curve receives points only while its view button is down; the point
    // takes the font colour of the curve's colour label.
    virtual bool seriesViewOn(SeriesId s) const = 0;
    virtual void addSeriesPoint(SeriesId s, double value, const QString &label) = 0;

    // Calibration as the settings page holds it right now.
    virtual int adcStepSetting() const = 0;        // UpDStepADC, 1/100 mV
    virtual int senseResistor() const = 0;         // UpDResistr, 1/100 Ohm
    virtual int dischargeResistor() const = 0;     // UpDRdecharge, 1/10 Ohm

    // Sensor readings of the temperature poll, when a read brought the
    // reading alone (the answer to a poll, not one in a charge's stream).
    // The settings page shows them while it is the page shown.
    virtual void showSensorReadings(double sensor1, double sensor2) = 0;
    virtual bool sensorChartingOn() const = 0;     // "Строить графики"

    // Link status: the received-bytes counter and the receive error panel.
    virtual void showReceivedTotal(int total) = 0;
    virtual void showReceiveError(const QString &chargeTime) = 0;
    // The step was moved to where the packets make sense again (the panel
    // says stepRegainedText(chargeTime)).
    virtual void showStepRegained(const QString &chargeTime) = 0;
    // The line brings mostly noise (noiseSuspectedText()): said once a
    // start, for the same panel and as a notice. While the noise lasts the
    // link gives the panel no other text (a regained step, a receive error),
    // so this one stays.
    virtual void showNoise(const QString &text) = 0;

    // A complete parameter-block reply (15 or more bytes, a multiple of 5).
    virtual void HandleBlockReply(const quint8 *bytes, int count) = 0;
};
