#pragma once

// A LinkView that records what the link routines do, with the receiver it
// serves, so that framing and decoding can be tested without a window.

#include "link/linkview.h"
#include "link/statistika.h"

#include <QList>
#include <QStringList>

#include <array>

class RecordingView : public LinkView
{
public:
    struct Point
    {
        double value;
        QString label;
    };

    std::array<QStringList, 2> logs;                 // A, B
    std::array<QList<Point>, 4> points;              // in SeriesId order
    QStringList status;                              // panel 1, every text shown
    QList<QByteArray> replies;
    QList<LogEvent> events;                          // every event logged, in order
    QList<std::pair<double, double>> sensorReadings; // shown on the settings page
    int receivedTotal = -1;                          // as last shown

    // What the window would answer.
    std::array<bool, 4> viewOn{true, true, true, true};
    bool settingsPageShown = false; // readings reach the page only while it is shown
    bool chartingSensors = false;
    int adcStep = 250;  // UpDStepADC (AdcStep is the link's own copy)
    int senseR = 51;    // UpDResistr
    int rdTenths = 39;  // UpDRdecharge

    // The link, as the window owns one; its step as start-up sets it.
    Receiver receiver{*this};
    RecordingView() { receiver.AdcStep = quint16(adcStep); }

    // One read of exactly these bytes.
    void receiveChunk(const QByteArray &bytes)
    {
        receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
    }
    // A received-characters event, in the reads the receiver sizes.
    void receive(const QByteArray &bytes)
    {
        receiver.receive(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
    }

    QStringList &log(Channel ch) { return logs[ch == Channel::A ? 0 : 1]; }

    void addLogLine(Channel ch, const QString &line) override { log(ch) << line; }
    int logLineCount(Channel ch) const override { return int(logs[ch == Channel::A ? 0 : 1].size()); }
    void logged(const LogEvent &e, const QStringList &) override { events << e; }
    bool seriesViewOn(SeriesId s) const override { return viewOn[size_t(s)]; }
    void addSeriesPoint(SeriesId s, double value, const QString &label) override
    {
        points[size_t(s)].append({value, label});
    }
    int adcStepSetting() const override { return adcStep; }
    int senseResistor() const override { return senseR; }
    int dischargeResistor() const override { return rdTenths; }
    void showSensorReadings(double sensor1, double sensor2) override
    {
        if (settingsPageShown)
            sensorReadings.append({sensor1, sensor2});
    }
    bool sensorChartingOn() const override { return chartingSensors; }
    void showReceivedTotal(int total) override { receivedTotal = total; }
    void showReceiveError(const QString &chargeTime) override
    {
        status << QStringLiteral("ошибка в принимаемых данных - ") + chargeTime;
    }
    void showStepRegained(const QString &chargeTime) override { status << stepRegainedText(chargeTime); }
    void showNoise(const QString &text) override { status << text; }
    void HandleBlockReply(const quint8 *bytes, int count) override
    {
        replies << QByteArray(reinterpret_cast<const char *>(bytes), count);
    }
};
