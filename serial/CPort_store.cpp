// Text forms of the port's settings and their storing in settings files.

#include "CPort.h"
#include "inifile.h"

#include <array>

namespace {

const std::array<const char *, 16> BaudTexts = {
    "Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
    "56000", "57600", "115200", "128000", "256000"};
const std::array<const char *, 3> StopTexts = {"1", "1.5", "2"};
const std::array<const char *, 4> DataTexts = {"5", "6", "7", "8"};
const std::array<const char *, 5> ParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
const std::array<const char *, 4> FlowTexts = {"Hardware", "Software", "None", "Custom"};

template <typename E, size_t N>
E fromText(const std::array<const char *, N> &texts, const QString &s, E fallback)
{
    const QString upper = s.toUpper();
    for (size_t i = 0; i < N; ++i)
        if (QString::fromLatin1(texts[i]).toUpper() == upper)
            return static_cast<E>(i);
    return fallback;
}

const QString BasicKeys[] = {QStringLiteral("Port"),     QStringLiteral("BaudRate"),
                             QStringLiteral("StopBits"), QStringLiteral("DataBits"),
                             QStringLiteral("Parity"),   QStringLiteral("FlowControl")};

} // namespace

QString BaudRateToStr(TBaudRate v) { return QString::fromLatin1(BaudTexts[v]); }
QString StopBitsToStr(TStopBits v) { return QString::fromLatin1(StopTexts[v]); }
QString DataBitsToStr(TDataBits v) { return QString::fromLatin1(DataTexts[v]); }
QString ParityToStr(TParityBits v) { return QString::fromLatin1(ParityTexts[v]); }
QString FlowControlToStr(TFlowControl v) { return QString::fromLatin1(FlowTexts[v]); }
TBaudRate StrToBaudRate(const QString &s) { return fromText(BaudTexts, s, br9600); }
TStopBits StrToStopBits(const QString &s) { return fromText(StopTexts, s, sbOneStopBit); }
TDataBits StrToDataBits(const QString &s) { return fromText(DataTexts, s, dbEight); }
TParityBits StrToParity(const QString &s) { return fromText(ParityTexts, s, prNone); }
TFlowControl StrToFlowControl(const QString &s) { return fromText(FlowTexts, s, fcCustom); }

void TCustomComPort::SaveSettings(TStoreType kind, const QString &location)
{
    // There is no registry here; asking for it is a failed store.
    if (kind != stIniFile)
        throw EComPort(16);
    try {
        IniFile ini(location);
        const QString section = objectName();
        ini.writeString(section, BasicKeys[0], Port());
        ini.writeString(section, BasicKeys[1], BaudRateToStr(BaudRate()));
        if (BaudRate() == brCustom)
            ini.writeInteger(section, QStringLiteral("CustomBaudRate"), CustomBaudRate());
        ini.writeString(section, BasicKeys[2], StopBitsToStr(StopBits()));
        ini.writeString(section, BasicKeys[3], DataBitsToStr(DataBits()));
        ini.writeString(section, BasicKeys[4], ParityToStr(Parity().Bits()));
        ini.writeString(section, BasicKeys[5], FlowControlToStr(FlowControl().FlowControl()));
    } catch (...) {
        throw EComPort(16);
    }
}

void TCustomComPort::LoadSettings(TStoreType kind, const QString &location)
{
    BeginUpdate();
    try {
        if (kind != stIniFile)
            throw EComPort(17);
        const IniFile ini(location);
        const QString section = objectName();
        // A missing key reads as the current value, so it changes nothing.
        setPort(ini.readString(section, BasicKeys[0], Port()));
        setBaudRate(StrToBaudRate(ini.readString(section, BasicKeys[1], BaudRateToStr(BaudRate()))));
        if (BaudRate() == brCustom)
            setCustomBaudRate(ini.readInteger(section, QStringLiteral("CustomBaudRate"), 9600));
        setStopBits(StrToStopBits(ini.readString(section, BasicKeys[2], StopBitsToStr(StopBits()))));
        setDataBits(StrToDataBits(ini.readString(section, BasicKeys[3], DataBitsToStr(DataBits()))));
        Parity().setBits(StrToParity(ini.readString(section, BasicKeys[4], ParityToStr(Parity().Bits()))));
        FlowControl().setFlowControl(StrToFlowControl(
            ini.readString(section, BasicKeys[5], FlowControlToStr(FlowControl().FlowControl()))));
    } catch (...) {
        try {
            EndUpdate();
        } catch (...) {
        }
        throw EComPort(17);
    }
    try {
        EndUpdate();
    } catch (...) {
        throw EComPort(17);
    }
}
