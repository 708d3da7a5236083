// The settings page: charge parameters, calibration, sensors and the
// exchange box, and the labels derived from the fields.

#include "app/params.h"

#include "app/TfmMain.h"
#include "platform/errorreport.h"
#include "link/frames.h"
#include "platform/localeformat.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

#include <stdexcept>

CurrentCheck checkCurrent(int milliamps, int senseR, quint16 step, int bits)
{
    const qint32 wanted = toDeviceUnits(milliamps, senseR, step);
    // The label tells what the charger will get, which is the field's value.
    const quint32 n = fitField(wanted, bits);
    const double amperes = double(n * step) / senseR / 1000;
    const double volts = double(n * step) / 100000;
    return {QStringLiteral("Ток факт. = ") + Fmt::significant(amperes, 5)
                + QStringLiteral(" A     U на R = ") + Fmt::general(volts)
                + QStringLiteral("     Значение ADC - ") + QString::number(n),
            n == 0, qint64(n) != wanted};
}

QString adcStepText(quint16 step)
{
    return Fmt::general(step / 100.0) + QStringLiteral("mV  AREF = ")
           + Fmt::fixed(step / 10.0 * 1024 / 10000, 2);
}

QString senseResistorText(double r)
{
    return QStringLiteral("/100   ") + Fmt::general(r / 100) + QStringLiteral(" Om");
}

QString dischargeResistorText(int rd)
{
    return QStringLiteral("Rd = ") + Fmt::fixed(rd / 10.0, 1) + QStringLiteral(" Om");
}

QString temperatureRiseText(int rise)
{
    return QStringLiteral("Макс. прирост темп. за 1 минуту = ") + Fmt::fixed(rise / 10.0, 1)
           + QStringLiteral("°C");
}

namespace {

void showCheck(QLabel *label, const CurrentCheck &c)
{
    label->setText(c.text);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, c.zero      ? QColor(255, 0, 0)
                                 : c.limited ? QColor(255, 200, 0)
                                             : label->palette().color(QPalette::Button));
    label->setPalette(p);
    label->setToolTip(c.limited ? QStringLiteral("Больше, чем принимает зарядное устройство: "
                                                 "будет записан наибольший возможный ток.")
                                : QString());
}

} // namespace

void TfmMain::buildSetupPage()
{
    GroupBox1 = make<QGroupBox>(TabSetup, "GroupBox1", QStringLiteral("Заряд"));
    auto label = [](QWidget *parent, const char *name, const QString &caption = {}) {
        return make<QLabel>(parent, name, caption);
    };
    auto plain = [](QWidget *parent, const QString &caption) { return new QLabel(caption, parent); };

    // The two chemistries: fast and trickle current with what the charger
    // will make of them.
    auto chemistry = [&](QGroupBox *&box, const char *name, const QString &title,
                         TUpDown *&fast, const char *fastName, const char *fastEdit, int fastMax,
                         int fastValue, QLineEdit *&fastField, TUpDown *&trickle,
                         const char *trickleName, const char *trickleEdit, int trickleValue,
                         QLineEdit *&trickleField, QLabel *&fastLabel, const char *fastLabelName,
                         QLabel *&trickleLabel, const char *trickleLabelName) {
        box = make<QGroupBox>(GroupBox1, name, title);
        fast = new TUpDown(box, fastName, fastEdit, 0, fastMax, fastValue);
        trickle = new TUpDown(box, trickleName, trickleEdit, 0, 500, trickleValue);
        fastField = fast->edit();
        trickleField = trickle->edit();
        fast->setToolTip(QStringLiteral("Ток быстрого заряда"));
        trickle->setToolTip(QStringLiteral("Ток дозаряда"));
        fastLabel = label(box, fastLabelName);
        trickleLabel = label(box, trickleLabelName);
        auto *grid = new QGridLayout(box);
        grid->addWidget(plain(box, QStringLiteral("Fast")), 0, 0);
        grid->addWidget(fast, 0, 1);
        grid->addWidget(plain(box, QStringLiteral("mA")), 0, 2);
        grid->addWidget(fastLabel, 0, 3);
        grid->addWidget(plain(box, QStringLiteral("Trickle")), 1, 0);
        grid->addWidget(trickle, 1, 1);
        grid->addWidget(plain(box, QStringLiteral("mA")), 1, 2);
        grid->addWidget(trickleLabel, 1, 3);
        grid->setColumnStretch(3, 1);
    };
    chemistry(GroupBox3, "GroupBox3", QStringLiteral("Ni-MH"), UpDMhFast, "UpDMhFast", "EdTokNiMH",
              2000, 1000, EdTokNiMH, UpD_tricle_Mh, "UpD_tricle_Mh", "Ed_tricle_Mh", 100,
              Ed_tricle_Mh, Label17, "Label17", LabelTrickleMh, "LabelTrickleMh");
    chemistry(GroupBox4, "GroupBox4", QStringLiteral("Ni-Cd"), UpDCdFast, "UpDCdFast", "EdTokNiCd",
              1500, 500, EdTokNiCd, UpD_tricle_Cd, "UpD_tricle_Cd", "Ed_tricle_Cd", 50,
              Ed_tricle_Cd, Label18, "Label18", LabelTrickleCd, "LabelTrickleCd");

    GroupBoxTim = make<QGroupBox>(GroupBox1, "GroupBoxTim", QStringLiteral("Макс. время заряда"));
    UpDTimeMh_hh = new TUpDown(GroupBoxTim, "UpDTimeMh_hh", "EdHourMh", 0, 24, 2);
    UpDTimeMh_mm = new TUpDown(GroupBoxTim, "UpDTimeMh_mm", "EdMinMh", 0, 59, 30);
    UpDTimeCd_hh = new TUpDown(GroupBoxTim, "UpDTimeCd_hh", "EdHourCd", 0, 24, 1);
    UpDTimeCd_mm = new TUpDown(GroupBoxTim, "UpDTimeCd_mm", "EdMinCd", 0, 59, 10);
    EdHourMh = UpDTimeMh_hh->edit();
    EdMinMh = UpDTimeMh_mm->edit();
    EdHourCd = UpDTimeCd_hh->edit();
    EdMinCd = UpDTimeCd_mm->edit();
    auto *times = new QGridLayout(GroupBoxTim);
    times->addWidget(plain(GroupBoxTim, QStringLiteral("Ni-MH")), 0, 0);
    times->addWidget(UpDTimeMh_hh, 0, 1);
    times->addWidget(plain(GroupBoxTim, QStringLiteral("-")), 0, 2);
    times->addWidget(UpDTimeMh_mm, 0, 3);
    times->addWidget(plain(GroupBoxTim, QStringLiteral("Ni-Cd")), 1, 0);
    times->addWidget(UpDTimeCd_hh, 1, 1);
    times->addWidget(plain(GroupBoxTim, QStringLiteral("-")), 1, 2);
    times->addWidget(UpDTimeCd_mm, 1, 3);
    times->setColumnStretch(4, 1);

    GroupBox2 = make<QGroupBox>(GroupBox1, "GroupBox2", QStringLiteral("Температура"));
    const QString maxHint =
        QStringLiteral("При достижении этой температуры заряд будет остановлен. Ошибка Т.");
    const QString riseHint =
        QStringLiteral("Максимальная скорость роста температуры в минуту (метод  dT/dt).");
    UpDownMaxT = new TUpDown(GroupBox2, "UpDownMaxT", "EditMaxT", 0, 100, 40);
    UpDownRostT = new TUpDown(GroupBox2, "UpDownRostT", "EditPrirochenieT", 0, 100, 10);
    EditMaxT = UpDownMaxT->edit();
    EditPrirochenieT = UpDownRostT->edit();
    UpDownMaxT->setToolTip(maxHint);
    UpDownRostT->setToolTip(riseHint);
    Label23 = label(GroupBox2, "Label23", QStringLiteral("Макс. температура акк."));
    Label23->setToolTip(maxHint);
    Label24 = label(GroupBox2, "Label24", QStringLiteral("Макс. прирост темп. за 1 минуту"));
    Label24->setWordWrap(true);
    Label24->setToolTip(riseHint);
    LbTemperaturaA = label(GroupBox2, "LbTemperaturaA", QStringLiteral("Т канал А"));
    LbTemperaturaB = label(GroupBox2, "LbTemperaturaB", QStringLiteral("Т канал B"));
    CheckBoxCurrentT = make<QCheckBox>(GroupBox2, "CheckBoxCurrentT",
                                       QStringLiteral("Прочитать температуру с датчиков"));
    CheckBoxCurrentT->setToolTip(QStringLiteral("Читать температуру с датчиков\n"
                                                "(когда зу находится в режиме ожидания)."));
    CheckBoxConstruktorGraf =
        make<QCheckBox>(GroupBox2, "CheckBoxConstruktorGraf", QStringLiteral("Строить графики"));
    CheckBoxConstruktorGraf->setToolTip(QStringLiteral("Строить графики"));
    CheckBoxConstruktorGraf->setEnabled(false);
    auto *temperature = new QGridLayout(GroupBox2);
    temperature->addWidget(Label23, 0, 0);
    temperature->addWidget(UpDownMaxT, 0, 1);
    temperature->addWidget(Label24, 1, 0);
    temperature->addWidget(UpDownRostT, 1, 1);
    temperature->addWidget(LbTemperaturaA, 2, 0);
    temperature->addWidget(LbTemperaturaB, 3, 0);
    temperature->addWidget(CheckBoxCurrentT, 4, 0, 1, 2);
    temperature->addWidget(CheckBoxConstruktorGraf, 5, 0, 1, 2);
    temperature->setColumnStretch(0, 1);

    // Calibration of the charger's hardware; the ADC step and Rd are changed
    // with the arrows only and read from their labels.
    UpDStepADC = new TUpDown(GroupBox1, "UpDStepADC", "EditStepAdc", 1, 500, 250);
    UpDResistr = new TUpDown(GroupBox1, "UpDResistr", "EdTokR", 1, 300, 51);
    UpDRdecharge = new TUpDown(GroupBox1, "UpDRdecharge", "EdRdecharge", 1, 100, 39);
    EditStepAdc = UpDStepADC->edit();
    EdTokR = UpDResistr->edit();
    EdRdecharge = UpDRdecharge->edit();
    EditStepAdc->setReadOnly(true);
    EdRdecharge->setReadOnly(true);
    const QString rdHint = QStringLiteral(
        "Сопротивление разрядного резистора, для подсчета внутреннего сопротивления акк.");
    UpDResistr->setToolTip(QStringLiteral("Сопротивление резистора, датчика тока."));
    UpDRdecharge->setToolTip(rdHint);
    Label33 = label(GroupBox1, "Label33", QStringLiteral("Шаг ADC"));
    Label34 = label(GroupBox1, "Label34", QStringLiteral("/100  mV"));
    Label7 = label(GroupBox1, "Label7", QStringLiteral("R="));
    Label8 = label(GroupBox1, "Label8", QStringLiteral("/100 Om"));
    LabRdecharge = label(GroupBox1, "LabRdecharge", QStringLiteral("Rd = 4.1 Om"));
    LabRdecharge->setToolTip(rdHint);
    auto *calibration = new QGridLayout;
    calibration->addWidget(Label33, 0, 0);
    calibration->addWidget(UpDStepADC, 0, 1);
    calibration->addWidget(Label34, 0, 2);
    calibration->addWidget(Label7, 1, 0);
    calibration->addWidget(UpDResistr, 1, 1);
    calibration->addWidget(Label8, 1, 2);
    calibration->addWidget(UpDRdecharge, 2, 1);
    calibration->addWidget(LabRdecharge, 2, 2);
    calibration->setColumnStretch(3, 1);

    auto *charge = new QGridLayout(GroupBox1);
    charge->addWidget(GroupBox3, 0, 0, 1, 2);
    charge->addWidget(GroupBox4, 1, 0, 1, 2);
    charge->addWidget(GroupBoxTim, 2, 0);
    charge->addWidget(GroupBox2, 2, 1, 2, 1);
    charge->addLayout(calibration, 3, 0);
    charge->setColumnStretch(1, 1);

    GroupBoxByte = make<QGroupBox>(TabSetup, "GroupBoxByte");
    BtnSendSave = make<QPushButton>(GroupBoxByte, "BtnSendSave", QStringLiteral("Записать"));
    BtnReadUartStr = make<QPushButton>(GroupBoxByte, "BtnReadUartStr", QStringLiteral("Читать"));
    BtnReset = make<QPushButton>(GroupBoxByte, "BtnReset", QStringLiteral("Сброс мк."));
    Label19 = label(GroupBoxByte, "Label19", QStringLiteral("Send byte"));
    Label20 = label(GroupBoxByte, "Label20", QStringLiteral("recv:"));
    LabStatus = label(GroupBoxByte, "LabStatus", QStringLiteral("статус"));
    auto *exchangeBox = new QGridLayout(GroupBoxByte);
    exchangeBox->addWidget(BtnSendSave, 0, 0);
    exchangeBox->addWidget(BtnReadUartStr, 0, 1);
    exchangeBox->addWidget(BtnReset, 0, 2);
    exchangeBox->addWidget(Label19, 0, 3);
    exchangeBox->addWidget(Label20, 0, 4);
    exchangeBox->addWidget(LabStatus, 0, 5);
    exchangeBox->setColumnStretch(5, 1);

    auto *page = new QVBoxLayout(TabSetup);
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(GroupBox1);
    page->addWidget(GroupBoxByte);
    page->addStretch();
}

void TfmMain::connectParameterHandlers()
{
    // The spin box reports every change of its field's text, typed or
    // stepped (the field itself is silenced while the spin box sets it).
    for (TUpDown *e : {UpDCdFast, UpDMhFast, UpDResistr, UpD_tricle_Cd, UpD_tricle_Mh})
        connectHandler(e, &QSpinBox::textChanged, this, [this] { EdTokRChange(); });
    connectHandler(UpDStepADC, &QSpinBox::textChanged, this, [this] { EditStepAdcChange(); });
    connectHandler(UpDRdecharge, &QSpinBox::textChanged, this, [this] { EdRdechargeChange(); });
    connectHandler(UpDownRostT, &QSpinBox::textChanged, this, [this] { EditPrirochenieTChange(); });
}

void TfmMain::EdTokRChange()
{
    if (receiver.AdcStep == 0) // no conversion before start-up has set the step
        return;
    bool ok = false;
    const double r = Fmt::toDouble(EdTokR->text(), &ok);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid floating point value").arg(EdTokR->text()).toStdString());
    Label8->setText(senseResistorText(r));
    const int mhR = UpDResistr->Position();
    showCheck(Label17, checkCurrent(UpDMhFast->Position(), mhR, receiver.AdcStep, 16));
    showCheck(LabelTrickleMh, checkCurrent(UpD_tricle_Mh->Position(), mhR, receiver.AdcStep, 8));
    const int cdR = integerOf(EdTokR);
    showCheck(Label18, checkCurrent(UpDCdFast->Position(), cdR, receiver.AdcStep, 16));
    showCheck(LabelTrickleCd, checkCurrent(UpD_tricle_Cd->Position(), cdR, receiver.AdcStep, 8));
}

void TfmMain::EditStepAdcChange()
{
    receiver.AdcStep = quint16(UpDStepADC->Position());
    EdTokRChange();
    Label34->setText(adcStepText(receiver.AdcStep));
}

void TfmMain::EdRdechargeChange()
{
    LabRdecharge->setText(dischargeResistorText(UpDRdecharge->Position()));
}

void TfmMain::EditPrirochenieTChange()
{
    Label24->setText(temperatureRiseText(integerOf(EditPrirochenieT)));
}

void TfmMain::updateParameterLabels()
{
    runGuarded([this] {
        EditStepAdcChange();
        EdRdechargeChange();
        EditPrirochenieTChange();
    });
}
