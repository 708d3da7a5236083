// The main window's side of the link: received bytes, the silence timer, the
// counters, Start/Stop and the charge clock.

#include "app/TfmMain.h"

#include "serial/CPort.h"
#include "serial/CPortSetup.h"
#include "serial/EComPort.h"
#include "serial/portlist.h"
#include "charts/engine/chart.h"
#include "charts/journal.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/journalfile.h"
#include "platform/localeformat.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cerrno>
#include <stdexcept>
#include <utility>

void TfmMain::ComPort1RxChar(QObject *, int Count)
{
    TimerResetReceiver->stop();
    receiver.receive(Count, [this](quint8 *buffer, int most) { return ComPort1->Read(buffer, most); });
    TimerResetReceiver->start(1000);
    if (journal_) {
        journalTimerTimer();
        journalTimer->start();
    }
}

void TfmMain::TimerResetReceiverTimer()
{
    receiver.resetReceiver();
}

void TfmMain::SpeedButton1Click()
{
    ShowPortSetup(*ComPort1);
}

void TfmMain::lbRecvDblClick()
{
    receivedDirty_ = false; // a count on its way is no longer true
    lbRecv->setText(QStringLiteral("Принято"));
    receiver.RecvTotal = 0;
}

void TfmMain::lbSendDblClick()
{
    lbSend->setText(QStringLiteral("Послано"));
    receiver.SentTotal = 0;
}

void TfmMain::btnStartClick()
{
    // The user's Start or Stop ends any wait for a lost device, and the
    // charges being watched.
    if (reconnectTimer->isActive()) {
        // The wait for the pulled adapter given up: that is how the charges
        // ended, as far as the history knows.
        history_.endAll(ChargeEnd::Unplugged, Clock::now());
        chargeInterrupted(ChargeStop::Stopped);
    }
    reconnectTimer->stop();
    try {
        if (!ComPort1->Connected()) {
            Timer1->start(ClockTickMs);
            clockTickedAlone_ = false;
            // A charge restored from the journal keeps the start it had.
            if (!resumeCharge_) {
                const double now = Clock::timeOfDay();
                Label25->setText(Fmt::longTime(now));
                receiver.clock.start(now);
            }
            btnStart->setText(QStringLiteral("Stop"));
            receiver.rearmNoiseWatch();
            ComPort1->Open();
            resumeCharge_ = false;
        } else {
            btnStart->setText(QStringLiteral("Старт"));
            ComPort1->Close();
            // After the close: it still hands on what had arrived.
            chargeInterrupted(ChargeStop::Stopped);
            Timer1->stop();
            receiver.clock.stop();
            Label25->setText(QStringLiteral("Время вкл."));
            LbCurrentTime->setText(QStringLiteral("Время"));
            LbTimeA->setText(QStringLiteral("-----------"));
        }
    } catch (const std::exception &e) {
        btnStart->setText(QStringLiteral("Старт"));
        const auto *port = dynamic_cast<const EComPort *>(&e);
        Dialogs::instance().message(this, portOpenFailureText(ComPort1->Port(), port ? port->WinCode : -1),
                                    Dialogs::Icon::None);
    }
}

QString portOpenFailureText(const QString &port, int systemError)
{
    QString text = QStringLiteral("Не могу открыть порт: ") + port;
    switch (systemError) {
    case EACCES:
    case EPERM:
        // Serial devices belong to the group "dialout"; a user outside it
        // is refused, and nothing else tells them why.
        text += QStringLiteral("\n\nНет прав на доступ к порту. Добавьте себя в группу dialout командой\n"
                               "    sudo usermod -aG dialout $USER\n"
                               "и войдите в систему заново (выйдите из сеанса или перезагрузитесь).");
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        text += QStringLiteral("\n\nТакого устройства нет: адаптер не подключён или получил другое имя. "
                               "Постоянные имена адаптеров, не зависящие от порядка подключения, - "
                               "в папке /dev/serial/by-id/.");
        break;
    case ENOTTY:
        text += QStringLiteral("\n\nЭто не последовательный порт.");
        break;
    case EBUSY: {
        const QStringList holders = portHolders(port);
        text += holders.isEmpty() ? QStringLiteral("\n\nПорт занят другой программой.")
                                  : QStringLiteral("\n\nПорт занят другой программой: %1.")
                                        .arg(holders.join(QStringLiteral(", ")));
        break;
    }
    case EIO:
        text += QStringLiteral("\n\nОшибка ввода-вывода: адаптер неисправен или был отключён.");
        break;
    default:
        break;
    }
    return text;
}

void TfmMain::deviceLost()
{
    btnStart->setText(QStringLiteral("Старт"));
    Timer1->stop();
    receiver.forgetHeldBytes();
    setStatusPanelText(1, QStringLiteral("связь потеряна - ") + Fmt::longTime(Clock::timeOfDay()));
    reconnectTimer->start();
    linkLostNotice();
}

void TfmMain::reconnectTimerTimer()
{
    if (!deviceIsBack(openedDevice_))
        return;
    try {
        ComPort1->Open();
    } catch (const std::exception &) {
        return; // not ready yet (udev may still be setting it up): the next tick tries again
    }
    reconnectTimer->stop();
    // The charge goes on: its clock keeps the start it had.
    btnStart->setText(QStringLiteral("Stop"));
    Timer1->start(ClockTickMs);
    clockTickedAlone_ = false;
    setStatusPanelText(1, QStringLiteral("связь восстановлена - ") + Fmt::longTime(Clock::timeOfDay()));
}

void TfmMain::Timer1Timer()
{
    LbCurrentTime->setText(Fmt::longTime(Clock::timeOfDay()));
    LbTimeA->setText(receiver.clock.tick());
}

void TfmMain::addLogLine(Channel ch, const QString &line)
{
    memo(ch)->addLine(line);
    paceScreen();
    journal(JournalRecord::line(ch == Channel::A ? 'A' : 'B', line));
}

int TfmMain::logLineCount(Channel ch) const
{
    return memo(ch)->lineCount();
}

bool TfmMain::seriesViewOn(SeriesId s) const
{
    return curve(s).view->isChecked();
}

void TfmMain::addSeriesPoint(SeriesId s, double value, const QString &label)
{
    const QColor colour = fontColor(curve(s).colour);
    AddChartPoint(series(s), value, label, colour);
    journal(JournalRecord::point(int(s), {value, label, colour.rgb()}));
    // Points come by the hundred a second on a fast line; the chart is drawn
    // again at the screen's pace, and not at all while its page is hidden.
    chartDirty_ = true;
    paceScreen();
}

int TfmMain::adcStepSetting() const
{
    return UpDStepADC->value();
}

int TfmMain::senseResistor() const
{
    return UpDResistr->value();
}

int TfmMain::dischargeResistor() const
{
    return UpDRdecharge->value();
}

void TfmMain::showSensorReadings(double sensor1, double sensor2)
{
    if (PageControl1->currentWidget() != TabSetup)
        return;
    LbTemperaturaA->setText(QStringLiteral("1д - ") + Fmt::fixed(sensor1, 1));
    LbTemperaturaB->setText(QStringLiteral("2д - ") + Fmt::fixed(sensor2, 1));
    LabStatus->clear();
    setFontColor(LabStatus, palette().color(QPalette::WindowText));
}

bool TfmMain::sensorChartingOn() const
{
    return CheckBoxConstruktorGraf->isChecked();
}

void TfmMain::showReceivedTotal(int total)
{
    // The first count after a pause shows at once; on a busy line, the
    // latest one with the next pass of the screen.
    receivedShown_ = total;
    if (screenPace_->running())
        receivedDirty_ = true;
    else
        lbRecv->setText(QStringLiteral("Прин. ") + QString::number(total));
    paceScreen();
}

void TfmMain::showNews()
{
    // The clocks tick with the news, in the same pass of the screen, rather
    // than a moment later in one of their own: a tick due within half a
    // second comes now. Without news their timer ticks on, a little after
    // the second the news would have come. A tick of their own shortly
    // before the news puts the next one off just the same, so that it falls
    // with the next news (a charger's samples come a second apart): the
    // clock shows one second a little longer, once, and from then on the
    // window is drawn once a second, not twice.
    if (Timer1->isActive()) {
        const bool due = Timer1->remainingTime() <= ClockTickMs / 2;
        if (due)
            Timer1Timer();
        if (std::exchange(clockTickedAlone_, false) || due)
            Timer1->start(ClockTickMs + ClockTickMs / 4);
    }
    Memo1->flush();
    Memo2->flush();
    if (std::exchange(receivedDirty_, false))
        lbRecv->setText(QStringLiteral("Прин. ") + QString::number(receivedShown_));
    if (std::exchange(chartDirty_, false))
        Chart1->update();
}

void TfmMain::showReceiveError(const QString &chargeTime)
{
    setStatusPanelText(1, QStringLiteral("ошибка в принимаемых данных - ") + chargeTime);
    decodeErrorNotice(chargeTime);
}

void TfmMain::showStepRegained(const QString &chargeTime)
{
    setStatusPanelText(1, stepRegainedText(chargeTime));
}

void TfmMain::showNoise(const QString &text)
{
    setStatusPanelText(1, text);
    notice(QStringLiteral("Нераспознанные данные"), text, true);
}
