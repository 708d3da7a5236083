// The main window's exchange with the charger: parameter block write and
// read, reset, the reply check and timeout, and the temperature poll.

#include "TfmMain.h"

#include "CPort.h"
#include "errorreport.h"
#include "frames.h"
#include "statistika.h"
#include "widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

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

void TfmMain::setStatus(const QString &text, bool failure)
{
    LabStatus->setText(text);
    setFontColor(LabStatus, failure ? QColor(255, 0, 0) : palette().color(QPalette::WindowText));
}

void TfmMain::SendBlock()
{
    if (!ComPort1->Connected())
        btnStart->click();
    const int written = ComPort1->Write(TxBlock, FrameSize);
    AddToCounter(SentTotal, written);
    lbSend->setText(QStringLiteral("Посл. ") + QString::number(SentTotal));
    if (LogEnabled)
        LogText += SendLogEntry(TxBlock, FrameSize);
}

ParameterBlock TfmMain::ParametersFromFields() const
{
    const int r = UpDResistr->Position();
    auto fast = [&](const TUpDown *f) { return quint16(ChargerUnits(f->Position(), r, AdcStep, 16)); };
    auto trickle = [&](const TUpDown *f) { return quint8(ChargerUnits(f->Position(), r, AdcStep, 8)); };
    ParameterBlock b;
    b.mhFast = fast(UpDMhFast);
    b.mhTrickle = trickle(UpD_tricle_Mh);
    b.mhHours = quint8(IntegerOf(EdHourMh));
    b.mhMinutes = quint8(IntegerOf(EdMinMh));
    b.cdFast = fast(UpDCdFast);
    b.cdTrickle = trickle(UpD_tricle_Cd);
    b.cdHours = quint8(IntegerOf(EdHourCd));
    b.cdMinutes = quint8(IntegerOf(EdMinCd));
    b.maxTemperature = quint8(UpDownMaxT->Position());
    b.maxRise = quint8(UpDownRostT->Position());
    return b;
}

void TfmMain::WriteParameters()
{
    const ParameterBlock block = ParametersFromFields();
    BuildCommand(CmdWrite, &block);
    setStatus(QStringLiteral("Запись"), false);
    WritePending = true;
    SendBlock();
}

void TfmMain::RequestParameters()
{
    BuildCommand(CmdRead);
    setStatus(QStringLiteral("Чтение"), false);
    // The reply to this request is a read, whatever became of an earlier
    // write: checking it as that write's echo would call a good block bad.
    WritePending = false;
    SendBlock();
}

void TfmMain::RequestTemperatures()
{
    BuildCommand(CmdTemperatures);
    SendBlock();
    setStatus(QString(), false);
}

void TfmMain::ResetDevice()
{
    BuildCommand(CmdReset);
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
        WritePending = false;
        throw;
    }
    ReadMode = true;
    Timer2->start();
}

void TfmMain::BtnReadUartStrClick()
{
    if (!BtnSendSave->isEnabled()) // a write is awaiting its reply
        return;
    CheckBoxCurrentT->setChecked(false);
    Timer3->stop();
    RequestParameters();
    ReadMode = true;
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
    if (ReplyIsGood(bytes, WritePending)) {
        ApplyParameterBlock(DecodeBlock(bytes));
        setStatus(WritePending ? QStringLiteral("Удачно!") : QStringLiteral("Считанно!"), false);
    } else {
        setStatus(QStringLiteral("Ошибка!"), true);
    }
    WritePending = false;
}

void TfmMain::ApplyParameterBlock(const ParameterBlock &b)
{
    const int r = UpDResistr->Position();
    // Reading back adds one mA, so a current at the top of its range comes
    // back one above it; that is the same charger setting, not a surprise.
    auto current = [&](TUpDown *f, int units, int bits) {
        const int ma = ToMilliamps(units, r, AdcStep);
        const int kept = std::clamp(ma, f->minimum(), f->maximum());
        f->setPositionFromDevice(ma, ChargerUnits(kept, r, AdcStep, bits) == quint32(units));
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
    setStatus(QStringLiteral("Нет ответа!"), true);
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
