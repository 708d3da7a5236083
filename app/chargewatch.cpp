// Watching a charge left alone: a desktop notice when a channel ends or
// trouble comes, the computer kept awake while a charge runs, and each
// channel's charge summed up.

#include "app/TfmMain.h"

#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "platform/clock.h"
#include "platform/desktopservices.h"
#include "platform/localeformat.h"
#include "link/statistika.h"
#include "history/summaryfeed.h"
#include "app/widgets.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QGroupBox>
#include <QLabel>
#include <QTime>
#include <QTimer>

namespace {

char letter(Channel ch)
{
    return ch == Channel::A ? 'A' : 'B';
}

const QString SleepHeldText = QStringLiteral("Идёт заряд: компьютер не уснёт до его конца");
} // namespace

void TfmMain::useDesktopBuses(const QDBusConnection &session, const QDBusConnection &system)
{
    delete notices_;
    delete inhibitor_;
    notices_ = new DesktopNotices(session, this);
    inhibitor_ = new SleepInhibitor(system, QStringLiteral("Ostrel"),
                                    QStringLiteral("Идёт заряд аккумуляторов, его журнал ведёт программа"), this);
    connect(notices_, &DesktopNotices::unavailable, this,
            [this](const QString &reason) { noteMissingService(QStringLiteral("уведомления недоступны"), reason); });
    connect(inhibitor_, &SleepInhibitor::unavailable, this, [this](const QString &reason) {
        noteMissingService(QStringLiteral("запрет сна недоступен"), reason);
    });
    connect(inhibitor_, &SleepInhibitor::heldChanged, this, [this](bool held) {
        sleepHeld_ = held;
        ComLed1->setToolTip(held ? SleepHeldText : QString());
        describeLed();
    });
}

void TfmMain::describeLed()
{
    QString text = ComLed1->State() == lsOn ? QStringLiteral("порт открыт") : QStringLiteral("порт закрыт");
    if (sleepHeld_)
        text += QStringLiteral(". ") + SleepHeldText;
    ComLed1->setAccessibleDescription(text);
}

void TfmMain::noteMissingService(const QString &what, const QString &reason)
{
    // Said once, where the link's own troubles go; the program goes on.
    receiver.log(QStringLiteral("  \r\n") + Fmt::wallClockStamp(QTime::currentTime()) + QLatin1Char(' ') + what
                 + QStringLiteral(": ") + reason);
}

void TfmMain::notice(const QString &title, const QString &body, bool trouble)
{
    if (NNotices->isChecked())
        notices_->notify(title, body, trouble ? DesktopNotices::Kind::Trouble : DesktopNotices::Kind::Finished);
}

const ChargeSummaries &TfmMain::summaries(Channel ch) const
{
    const size_t i = size_t(ch);
    if (summariesStale_[i]) {
        // The log is the input here: its lines, once; then the events.
        summaries_[i] = SummaryFeed();
        summaries_[i].summaries = summariesOf(memo(ch)->lines());
        summariesStale_[i] = false;
    }
    return summaries_[i].summaries;
}

void TfmMain::logged(const LogEvent &e, const QStringList &lines)
{
    // A line known to bring mostly noise (packets no charger sends) would
    // fill the history with charges of random bytes: none are kept while
    // it lasts.
    if (!receiver.lineNoisy())
        history_.take(e, lines, Clock::instant());
    const int ch = int(e.channel);
    if (!summariesStale_[size_t(ch)])
        summaries_[size_t(ch)].take(e);
    if (e.kind == LogEvent::Kind::EndReport) {
        const bool noneCharging = watch_.ended(ch);
        chargeEnded(e.channel);
        if (noneCharging)
            inhibitor_->release();
    } else if (e.kind == LogEvent::Kind::Sample && watch_.sample(ch, ComPort1->Connected())) {
        inhibitor_->hold();
    }
}

void TfmMain::chargeEnded(Channel ch)
{
    // Only the charge that ended, as the events summed it up: no log read
    // at every end report (noise on the line brings them by the second).
    const std::vector<ChargeSummary> charges = summaries(ch).charges(1);
    if (!charges.empty()) {
        const ChargeSummary &s = charges.back();
        const bool regular = s.regularEnd();
        notice(summaryTitle(s, letter(ch)) + (regular ? QStringLiteral(" - окончен") : QStringLiteral(" - ошибка")),
               summaryLine(s, trickleFor(s)), !regular);
    }
}

void TfmMain::chargeInterrupted(ChargeStop why)
{
    watch_.interrupted(why);
    history_.endAll(why == ChargeStop::LinkLost ? ChargeEnd::Unplugged : ChargeEnd::Stopped, Clock::now());
    inhibitor_->release();
}

void TfmMain::linkLostNotice()
{
    if (watch_.linkLost())
        notice(QStringLiteral("Связь с зарядным устройством потеряна"), statusPanelText(1), true);
}

void TfmMain::decodeErrorNotice(const QString &chargeTime)
{
    // Bad data tends to come in bursts: one notice a minute at most.
    if (lastDecodeNotice_.isValid() && lastDecodeNotice_.elapsed() < 60000)
        return;
    lastDecodeNotice_.start();
    notice(QStringLiteral("Ошибка в принимаемых данных"), QStringLiteral("ошибка в принимаемых данных - ") + chargeTime,
           true);
}

double TfmMain::trickleFor(const ChargeSummary &s) const
{
    return (s.chemistry == QLatin1String("NiCd") ? UpD_tricle_Cd : UpD_tricle_Mh)->value();
}

QString TfmMain::channelSummary(Channel ch) const
{
    const std::vector<ChargeSummary> charges = summaries(ch).charges(2);
    if (charges.empty())
        return QStringLiteral("Канал %1: зарядов нет").arg(QLatin1Char(letter(ch)));
    const ChargeSummary &last = charges.back();
    QString text = summaryText(last, letter(ch), trickleFor(last), watch_.stop(int(ch), reconnectTimer->isActive()));
    // While a charge runs, the one before it is still worth a look.
    if (!last.endReport && charges.size() > 1) {
        const ChargeSummary &before = charges[charges.size() - 2];
        text += QStringLiteral("\n\nПредыдущий:\n") + summaryText(before, letter(ch), trickleFor(before));
    }
    return text;
}

void TfmMain::copySummary(Channel ch)
{
    QApplication::clipboard()->setText(channelSummary(ch));
}
