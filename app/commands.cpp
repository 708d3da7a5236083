// The main window's exchange with the charger: parameter block write and
// read, reset, the reply check and timeout, and the temperature poll.

#include "app/TfmMain.h"

#include "serial/CPort.h"
#include "platform/errorreport.h"
#include "link/exchange.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

void TfmMain::connectExchangeHandlers()
{
    connectHandler(BtnSendSave, &QPushButton::clicked, this, [this] { BtnSendSaveClick(); });
    connectHandler(BtnReadUartStr, &QPushButton::clicked, this, [this] { BtnReadUartStrClick(); });
    connectHandler(BtnReset, &QPushButton::clicked, this, [this] { BtnResetClick(); });
    // Also when the program unchecks it: the poll follows the box.
    connectHandler(CheckBoxCurrentT, &QCheckBox::toggled, this, [this] { CheckBoxCurrentTClick(); });
    connectHandler(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    connectHandler(Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });
}

void TfmMain::showOutcome(const ExchangeOutcome &outcome)
{
    setStatus(outcome.status, outcome.failure);
}

void TfmMain::setStatus(const QString &text, bool failure)
{
    LabStatus->setText(text);
    setFontColor(LabStatus, failure ? QColor(255, 0, 0) : palette().color(QPalette::WindowText));
}

void TfmMain::SendBlock()
{
    if (!ComPort1->Connected())
        btnStart->click();
    const int written = ComPort1->Write(exchange.TxBlock, FrameSize);
    lbSend->setText(QStringLiteral("Посл. ") + QString::number(receiver.countSent(written)));
    receiver.log(sendLogEntry(exchange.TxBlock, FrameSize));
}

ParameterBlock TfmMain::parametersFromFields() const
{
    const int r = UpDResistr->Position();
    auto fast = [&](const TUpDown *f) { return quint16(chargerUnits(f->Position(), r, receiver.AdcStep, 16)); };
    auto trickle = [&](const TUpDown *f) { return quint8(chargerUnits(f->Position(), r, receiver.AdcStep, 8)); };
    ParameterBlock b;
    b.mhFast = fast(UpDMhFast);
    b.mhTrickle = trickle(UpD_tricle_Mh);
    b.mhHours = quint8(integerOf(EdHourMh));
    b.mhMinutes = quint8(integerOf(EdMinMh));
    b.cdFast = fast(UpDCdFast);
    b.cdTrickle = trickle(UpD_tricle_Cd);
    b.cdHours = quint8(integerOf(EdHourCd));
    b.cdMinutes = quint8(integerOf(EdMinCd));
    b.maxTemperature = quint8(UpDownMaxT->Position());
    b.maxRise = quint8(UpDownRostT->Position());
    return b;
}

void TfmMain::WriteParameters()
{
    showOutcome(exchange.writeRequested(parametersFromFields()));
    SendBlock();
}

void TfmMain::RequestParameters()
{
    showOutcome(exchange.readRequested());
    SendBlock();
}

void TfmMain::RequestTemperatures()
{
    exchange.buildCommand(CmdTemperatures);
    SendBlock();
    setStatus(QString(), false);
}

void TfmMain::ResetDevice()
{
    exchange.buildCommand(CmdReset);
    SendBlock();
    setStatus(QStringLiteral("Сброс мк."), false);
}

void TfmMain::BtnSendSaveClick()
{
    BtnSendSave->setEnabled(false);
    CheckBoxCurrentT->setChecked(false);
    try {
        WriteParameters();
    } catch (...) {
        // Nothing was sent, or the port refused it: no reply will come, so
        // the button must not wait for one.
        BtnSendSave->setEnabled(true);
        exchange.writeFailed();
        throw;
    }
    receiver.ReadMode = true;
    Timer2->start();
}

void TfmMain::BtnReadUartStrClick()
{
    if (!BtnSendSave->isEnabled()) // a write is awaiting its reply
        return;
    CheckBoxCurrentT->setChecked(false);
    Timer3->stop();
    RequestParameters();
    receiver.ReadMode = true;
    Timer2->start();
}

void TfmMain::BtnResetClick()
{
    StopTemperaturePolling();
    ResetDevice();
}

void TfmMain::StopTemperaturePolling()
{
    if (Timer3->isActive()) {
        Timer3->stop();
        CheckBoxCurrentT->setChecked(false);
    }
}

void TfmMain::HandleBlockReply(const quint8 *bytes, int)
{
    Timer2->stop();
    LabStatus->clear();
    BtnSendSave->setEnabled(true);
    const ExchangeOutcome outcome = exchange.reply(bytes);
    if (outcome.block)
        ApplyParameterBlock(*outcome.block);
    showOutcome(outcome);
}

void TfmMain::ApplyParameterBlock(const ParameterBlock &b)
{
    const int r = UpDResistr->Position();
    auto current = [&](TUpDown *f, int units, int bits) {
        const ReadBackCurrent c = readBack(units, bits, r, receiver.AdcStep, f->minimum(), f->maximum());
        f->setPositionFromDevice(c.milliamps, c.sameSetting);
    };
    current(UpDMhFast, b.mhFast, 16);
    current(UpD_tricle_Mh, b.mhTrickle, 8);
    UpDTimeMh_mm->setPositionFromDevice(b.mhMinutes);
    UpDTimeMh_hh->setPositionFromDevice(b.mhHours);
    current(UpDCdFast, b.cdFast, 16);
    current(UpD_tricle_Cd, b.cdTrickle, 8);
    UpDTimeCd_mm->setPositionFromDevice(b.cdMinutes);
    UpDTimeCd_hh->setPositionFromDevice(b.cdHours);
    UpDownMaxT->setPositionFromDevice(b.maxTemperature);
    UpDownRostT->setPositionFromDevice(b.maxRise);
}

void TfmMain::Timer2Timer()
{
    showOutcome(ParameterExchange::timedOut());
    BtnSendSave->setEnabled(true);
    Timer2->stop();
}

void TfmMain::CheckBoxCurrentTClick()
{
    if (!ComPort1->Connected()) {
        CheckBoxCurrentT->setChecked(false);
        return;
    }
    const bool on = CheckBoxCurrentT->isChecked();
    if (on)
        Timer3->start();
    else
        Timer3->stop();
    CheckBoxConstruktorGraf->setEnabled(on);
}

void TfmMain::Timer3Timer()
{
    if (ComPort1->Connected()) {
        RequestTemperatures();
    } else {
        Timer3->stop();
        CheckBoxCurrentT->setChecked(false);
    }
}
