#pragma once

#include <QString>
#include <QtGlobal>

// The two channels of the charger: odd packet codes belong to A, even to B.
enum class Channel { A, B };

// The four curves: voltage and temperature of each channel.
enum class SeriesId { AU, AT, BU, BT };

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

    // A curve receives points only while its view button is down; the point
    // takes the font colour of the curve's colour label.
    virtual bool seriesViewOn(SeriesId s) const = 0;
    virtual void addSeriesPoint(SeriesId s, double value, const QString &label) = 0;

    // Calibration as the settings page holds it right now.
    virtual int adcStepSetting() const = 0;        // UpDStepADC, 1/100 mV
    virtual int senseResistor() const = 0;         // UpDResistr, 1/100 Ohm
    virtual int dischargeResistor() const = 0;     // UpDRdecharge, 1/10 Ohm

    // Sensor readings of the temperature poll.
    virtual bool sensorPageShown() const = 0;
    virtual void showSensorReadings(double sensor1, double sensor2) = 0;
    virtual bool sensorChartingOn() const = 0;     // "Строить графики"

    // Link status: the received-bytes counter and the receive error panel.
    virtual void showReceivedTotal(int total) = 0;
    virtual void showReceiveError(const QString &chargeTime) = 0;
    // Any other news of the link for the same panel.
    virtual void showLinkStatus(const QString &text) = 0;
    // The line brings mostly noise (noiseSuspectedText()): said once a
    // start, for the same panel and as a notice. While the noise lasts the
    // link gives the panel no other text (a regained step, a receive error),
    // so this one stays.
    virtual void showNoise(const QString &text) = 0;

    // A complete parameter-block reply (15 or more bytes, a multiple of 5).
    virtual void HandleBlockReply(const quint8 *bytes, int count) = 0;
};
