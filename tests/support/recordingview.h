#pragma once

// A LinkView that records what the link routines do, so that framing and
// decoding can be tested without a window.

#include "linkview.h"

#include <QList>
#include <QStringList>

#include <array>

class RecordingView : public LinkView
{
public:
    std::array<QStringList, 2> logs;                 // A, B
    std::array<QList<double>, 4> points;             // in SeriesId order
    QStringList status;                              // panel 1, every text shown
    QList<QByteArray> replies;
    bool viewOn = true;

    QStringList &log(Channel ch) { return logs[ch == Channel::A ? 0 : 1]; }

    void addLogLine(Channel ch, const QString &line) override { log(ch) << line; }
    int logLineCount(Channel ch) const override { return int(logs[ch == Channel::A ? 0 : 1].size()); }
    bool seriesViewOn(SeriesId) const override { return viewOn; }
    void addSeriesPoint(SeriesId s, double value, const QString &) override
    {
        points[size_t(s)] << value;
    }
    int adcStepSetting() const override { return 250; }
    int senseResistor() const override { return 51; }
    int dischargeResistor() const override { return 39; }
    bool sensorPageShown() const override { return false; }
    void showSensorReadings(double, double) override {}
    bool sensorChartingOn() const override { return false; }
    void showReceivedTotal(int) override {}
    void showReceiveError(const QString &chargeTime) override
    {
        status << QStringLiteral("ошибка в принимаемых данных - ") + chargeTime;
    }
    void showLinkStatus(const QString &text) override { status << text; }
    void HandleBlockReply(const quint8 *bytes, int count) override
    {
        replies << QByteArray(reinterpret_cast<const char *>(bytes), count);
    }
};
