#pragma once

// The receiver on a recording view and the independent model of the
// protocol, given the same events, and where they differ.

#include "link/statistika.h"
#include "platform/clock.h"
#include "platform/localeformat.h"
#include "tests/support/packetoracle.h"
#include "tests/support/recordingview.h"

#include <QDateTime>

class ModelPair
{
public:
    // The clock stands at `now` and the charge time at `chargeTime` (a
    // fraction of a day) for as long as the pair is used.
    ModelPair(const PacketOracle::Settings &s, double chargeTime, const QDateTime &now)
        : model(s, Fmt::chargeTime(chargeTime), Fmt::hoursMinutes(chargeTime), Fmt::wallClockStamp(now.time()))
    {
        Clock::setSource([now] { return now; });
        // Each read a quarter of a second later: the stream spans seconds,
        // as the watch for noise judges it.
        Clock::setSteadySource([this] { return steadyMs_ += 250; });
        link.clock.StartTime = Clock::timeOfDay() - chargeTime;
        link.AdcStep = quint16(s.adcStep);
        link.LogEnabled = s.logEnabled;
        view.adcStep = s.adcStep;
        view.senseR = s.senseR;
        view.rdTenths = s.rdTenths;
        view.settingsPageShown = s.settingsPageShown;
        view.chartingSensors = s.chartingSensors;
        view.viewOn = s.viewOn;
    }

    ~ModelPair() { Clock::setSteadySource(nullptr); }
    ModelPair(const ModelPair &) = delete;
    ModelPair &operator=(const ModelPair &) = delete;

    // A received-characters event, taken in the reads the receiver sizes.
    void event(const quint8 *bytes, int waiting)
    {
        link.receive(bytes, waiting);
        model.event(bytes, waiting);
    }
    void event(const QByteArray &bytes)
    {
        event(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
    }
    void silence()
    {
        link.resetReceiver();
        model.silenceTick();
    }
    void awaitReply()
    {
        link.ReadMode = true;
        model.replyAwaited();
    }

    // The first difference, or an empty text.
    QString difference() const
    {
        for (int ch = 0; ch < 2; ++ch) {
            const QStringList &got = view.logs[size_t(ch)], &want = model.logs[size_t(ch)];
            for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i)
                if (got.value(i, QStringLiteral("<none>")) != want.value(i, QStringLiteral("<none>")))
                    return QStringLiteral("Memo%1 line %2: '%3', model '%4'")
                        .arg(ch + 1).arg(i).arg(got.value(i), want.value(i));
        }
        for (size_t s = 0; s < 4; ++s) {
            const QList<RecordingView::Point> &got = view.points[s];
            if (got.size() != model.points[s].size())
                return QStringLiteral("series %1: %2 points, model %3").arg(s).arg(got.size()).arg(model.points[s].size());
            for (qsizetype i = 0; i < got.size(); ++i)
                if (got[i].value != model.points[s][i] || got[i].label != model.pointLabels[s][i])
                    return QStringLiteral("series %1 point %2: %3 '%4', model %5 '%6'")
                        .arg(s).arg(i).arg(got[i].value).arg(got[i].label)
                        .arg(model.points[s][i]).arg(model.pointLabels[s][i]);
        }
        if (view.status != model.status)
            return QStringLiteral("status: [%1], model [%2]")
                .arg(view.status.join(QLatin1Char('|')), model.status.join(QLatin1Char('|')));
        if (view.replies != model.replies)
            return QStringLiteral("replies: %1, model %2").arg(view.replies.size()).arg(model.replies.size());
        if (view.sensorReadings != model.sensorReadings)
            return QStringLiteral("sensor readings: %1, model %2")
                .arg(view.sensorReadings.size()).arg(model.sensorReadings.size());
        const QString linkLog = link.LogText.mid(logLegend().size());
        if (linkLog != model.linkLog) {
            qsizetype i = 0;
            while (i < linkLog.size() && i < model.linkLog.size() && linkLog[i] == model.linkLog[i])
                ++i;
            return QStringLiteral("link log from %1: '%2', model '%3'")
                .arg(i).arg(linkLog.mid(i, 80), model.linkLog.mid(i, 80));
        }
        if (link.RecvTotal != model.receivedTotal || link.heldCount() != model.held()
            || link.ReadMode != model.readMode())
            return QStringLiteral("counters: %1 %2 %3, model %4 %5 %6")
                .arg(link.RecvTotal).arg(link.heldCount()).arg(link.ReadMode)
                .arg(model.receivedTotal).arg(model.held()).arg(model.readMode());
        return {};
    }

    RecordingView view;
    Receiver &link = view.receiver;
    PacketOracle model;

private:
    qint64 steadyMs_ = 0;
};
