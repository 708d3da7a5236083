// Text forms of the port's settings and their storing in settings files.

#include "CPort.h"
#include "inifile.h"

#include <array>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

const std::array<const char *, 16> BaudTexts = {
    "Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
    "56000", "57600", "115200", "128000", "256000"};
const std::array<const char *, 3> StopTexts = {"1", "1.5", "2"};
const std::array<const char *, 4> DataTexts = {"5", "6", "7", "8"};
const std::array<const char *, 5> ParityNames = {"None", "Odd", "Even", "Mark", "Space"};
const std::array<const char *, 4> FlowTexts = {"Hardware", "Software", "None", "Custom"};
const std::array<const char *, 3> DTRTexts = {"Disable", "Enable", "Handshake"};
const std::array<const char *, 4> RTSTexts = {"Disable", "Enable", "Handshake", "Toggle"};

template <typename E, size_t N>
E fromText(const std::array<const char *, N> &texts, const QString &s, E fallback)
{
    const QString upper = s.toUpper();
    for (size_t i = 0; i < N; ++i)
        if (QString::fromLatin1(texts[i]).toUpper() == upper)
            return static_cast<E>(i);
    return fallback;
}

template <size_t N>
QStringList all(const std::array<const char *, N> &texts)
{
    QStringList out;
    for (const char *t : texts)
        out << QString::fromLatin1(t);
    return out;
}

// One stored key: its text from the port, and the port set from a text. A
// numeric key is stored as an integer.
struct StoredKey
{
    const char *key;
    std::function<QString(const TCustomComPort &)> get;
    std::function<void(TCustomComPort &, const QString &)> set;
    bool numeric = false;
};

using P = TCustomComPort;
int toInt(const QString &s) { return s.toInt(); }

const std::vector<StoredKey> &groupKeys(TStoredGroup group)
{
    static const std::vector<StoredKey> basic = {
        {"Port", [](const P &p) { return p.Port(); }, [](P &p, const QString &v) { p.setPort(v); }},
        {"BaudRate", [](const P &p) { return BaudRateToStr(p.BaudRate()); },
         [](P &p, const QString &v) { p.setBaudRate(StrToBaudRate(v)); }},
        {"StopBits", [](const P &p) { return StopBitsToStr(p.StopBits()); },
         [](P &p, const QString &v) { p.setStopBits(StrToStopBits(v)); }},
        {"DataBits", [](const P &p) { return DataBitsToStr(p.DataBits()); },
         [](P &p, const QString &v) { p.setDataBits(StrToDataBits(v)); }},
        {"Parity", [](const P &p) { return ParityToStr(p.Parity().Bits()); },
         [](P &p, const QString &v) { p.Parity().setBits(StrToParity(v)); }},
        {"FlowControl", [](const P &p) { return FlowControlToStr(p.FlowControl().FlowControl()); },
         [](P &p, const QString &v) { p.FlowControl().setFlowControl(StrToFlowControl(v)); }},
    };
    static const std::vector<StoredKey> others = {
        {"EventChar", [](const P &p) { return CharToStr(p.EventChar()); },
         [](P &p, const QString &v) { p.setEventChar(StrToChar(v)); }},
        {"DiscardNull", [](const P &p) { return BoolToStr(p.DiscardNull()); },
         [](P &p, const QString &v) { p.setDiscardNull(StrToBool(v)); }},
    };
    static const std::vector<StoredKey> parity = {
        {"Parity.Check", [](const P &p) { return BoolToStr(p.Parity().Check()); },
         [](P &p, const QString &v) { p.Parity().setCheck(StrToBool(v)); }},
        {"Parity.Replace", [](const P &p) { return BoolToStr(p.Parity().Replace()); },
         [](P &p, const QString &v) { p.Parity().setReplace(StrToBool(v)); }},
        {"Parity.ReplaceChar", [](const P &p) { return CharToStr(p.Parity().ReplaceChar()); },
         [](P &p, const QString &v) { p.Parity().setReplaceChar(StrToChar(v)); }},
    };
    static const std::vector<StoredKey> buffer = {
        {"Buffer.OutputSize", [](const P &p) { return QString::number(p.Buffer().OutputSize()); },
         [](P &p, const QString &v) { p.Buffer().setOutputSize(toInt(v)); }, true},
        {"Buffer.InputSize", [](const P &p) { return QString::number(p.Buffer().InputSize()); },
         [](P &p, const QString &v) { p.Buffer().setInputSize(toInt(v)); }, true},
    };
    static const std::vector<StoredKey> timeouts = {
        {"Timeouts.ReadInterval", [](const P &p) { return QString::number(p.Timeouts().ReadInterval()); },
         [](P &p, const QString &v) { p.Timeouts().setReadInterval(toInt(v)); }, true},
        {"Timeouts.ReadTotalConstant", [](const P &p) { return QString::number(p.Timeouts().ReadTotalConstant()); },
         [](P &p, const QString &v) { p.Timeouts().setReadTotalConstant(toInt(v)); }, true},
        {"Timeouts.ReadTotalMultiplier", [](const P &p) { return QString::number(p.Timeouts().ReadTotalMultiplier()); },
         [](P &p, const QString &v) { p.Timeouts().setReadTotalMultiplier(toInt(v)); }, true},
        {"Timeouts.WriteTotalConstant", [](const P &p) { return QString::number(p.Timeouts().WriteTotalConstant()); },
         [](P &p, const QString &v) { p.Timeouts().setWriteTotalConstant(toInt(v)); }, true},
        {"Timeouts.WriteTotalMultiplier", [](const P &p) { return QString::number(p.Timeouts().WriteTotalMultiplier()); },
         [](P &p, const QString &v) { p.Timeouts().setWriteTotalMultiplier(toInt(v)); }, true},
    };
    static const std::vector<StoredKey> flow = {
        {"FlowControl.ControlRTS", [](const P &p) { return RTSFlowToStr(p.FlowControl().ControlRTS()); },
         [](P &p, const QString &v) { p.FlowControl().setControlRTS(StrToRTSFlow(v)); }},
        {"FlowControl.ControlDTR", [](const P &p) { return DTRFlowToStr(p.FlowControl().ControlDTR()); },
         [](P &p, const QString &v) { p.FlowControl().setControlDTR(StrToDTRFlow(v)); }},
        {"FlowControl.DSRSensitivity", [](const P &p) { return BoolToStr(p.FlowControl().DSRSensitivity()); },
         [](P &p, const QString &v) { p.FlowControl().setDSRSensitivity(StrToBool(v)); }},
        {"FlowControl.OutCTSFlow", [](const P &p) { return BoolToStr(p.FlowControl().OutCTSFlow()); },
         [](P &p, const QString &v) { p.FlowControl().setOutCTSFlow(StrToBool(v)); }},
        {"FlowControl.OutDSRFlow", [](const P &p) { return BoolToStr(p.FlowControl().OutDSRFlow()); },
         [](P &p, const QString &v) { p.FlowControl().setOutDSRFlow(StrToBool(v)); }},
        {"FlowControl.TxContinueOnXoff", [](const P &p) { return BoolToStr(p.FlowControl().TxContinueOnXoff()); },
         [](P &p, const QString &v) { p.FlowControl().setTxContinueOnXoff(StrToBool(v)); }},
        {"FlowControl.XonXoffIn", [](const P &p) { return BoolToStr(p.FlowControl().XonXoffIn()); },
         [](P &p, const QString &v) { p.FlowControl().setXonXoffIn(StrToBool(v)); }},
        {"FlowControl.XonXoffOut", [](const P &p) { return BoolToStr(p.FlowControl().XonXoffOut()); },
         [](P &p, const QString &v) { p.FlowControl().setXonXoffOut(StrToBool(v)); }},
        {"FlowControl.XoffChar", [](const P &p) { return CharToStr(p.FlowControl().XoffChar()); },
         [](P &p, const QString &v) { p.FlowControl().setXoffChar(StrToChar(v)); }},
        {"FlowControl.XonChar", [](const P &p) { return CharToStr(p.FlowControl().XonChar()); },
         [](P &p, const QString &v) { p.FlowControl().setXonChar(StrToChar(v)); }},
    };
    switch (group) {
    case sgBasic: return basic;
    case sgOthers: return others;
    case sgParity: return parity;
    case sgBuffer: return buffer;
    case sgTimeouts: return timeouts;
    case sgFlowControl: break;
    }
    return flow;
}

constexpr TStoredGroup GroupOrder[] = {sgBasic, sgOthers, sgParity, sgBuffer, sgTimeouts, sgFlowControl};

} // namespace

QString BaudRateToStr(TBaudRate v) { return QString::fromLatin1(BaudTexts[v]); }
QString StopBitsToStr(TStopBits v) { return QString::fromLatin1(StopTexts[v]); }
QString DataBitsToStr(TDataBits v) { return QString::fromLatin1(DataTexts[v]); }
QString ParityToStr(TParityBits v) { return QString::fromLatin1(ParityNames[v]); }
QString FlowControlToStr(TFlowControl v) { return QString::fromLatin1(FlowTexts[v]); }
QString DTRFlowToStr(TDTRFlowControl v) { return QString::fromLatin1(DTRTexts[v]); }
QString RTSFlowToStr(TRTSFlowControl v) { return QString::fromLatin1(RTSTexts[v]); }
TBaudRate StrToBaudRate(const QString &s) { return fromText(BaudTexts, s, br9600); }
TStopBits StrToStopBits(const QString &s) { return fromText(StopTexts, s, sbOneStopBit); }
TDataBits StrToDataBits(const QString &s) { return fromText(DataTexts, s, dbEight); }
TParityBits StrToParity(const QString &s) { return fromText(ParityNames, s, prNone); }
TFlowControl StrToFlowControl(const QString &s) { return fromText(FlowTexts, s, fcCustom); }
TDTRFlowControl StrToDTRFlow(const QString &s) { return fromText(DTRTexts, s, dtrDisable); }
TRTSFlowControl StrToRTSFlow(const QString &s) { return fromText(RTSTexts, s, rtsDisable); }
QStringList BaudRateTexts() { return all(BaudTexts); }
QStringList DataBitsTexts() { return all(DataTexts); }
QStringList StopBitsTexts() { return all(StopTexts); }
QStringList ParityTexts() { return all(ParityNames); }
QStringList FlowControlTexts() { return all(FlowTexts); }

QString BoolToStr(bool v)
{
    return v ? QStringLiteral("Yes") : QStringLiteral("No");
}

bool StrToBool(const QString &s)
{
    return s.toUpper() == QLatin1String("YES");
}

QString CharToStr(char c)
{
    const int code = static_cast<unsigned char>(c);
    return code >= 33 && code <= 127 ? QString(QChar(code)) : QStringLiteral("#%1").arg(code);
}

char StrToChar(const QString &s)
{
    if (s.isEmpty())
        return 0;
    if (s.size() > 1 && s.front() == QLatin1Char('#')) {
        bool ok = false;
        const int code = s.mid(1).toInt(&ok);
        if (!ok)
            throw std::invalid_argument("not a character code");
        return static_cast<char>(code);
    }
    return static_cast<char>(s.front().unicode());
}

void TCustomComPort::SaveSettings(TStoreType kind, const QString &location)
{
    // There is no registry on this system; asking for it is a failed store.
    if (kind != stIniFile)
        throw EComPort(16);
    try {
        IniFile ini(location);
        const QString section = objectName();
        for (TStoredGroup group : GroupOrder) {
            if (!storedGroups_.contains(group))
                continue;
            for (const StoredKey &k : groupKeys(group)) {
                const QString key = QLatin1String(k.key);
                if (k.numeric)
                    ini.writeInteger(section, key, k.get(*this).toInt());
                else
                    ini.writeString(section, key, k.get(*this));
                if (group == sgBasic && key == QLatin1String("BaudRate") && BaudRate() == brCustom)
                    ini.writeInteger(section, QStringLiteral("CustomBaudRate"), CustomBaudRate());
            }
        }
    } catch (...) {
        throw EComPort(16);
    }
}

void TCustomComPort::LoadSettings(TStoreType kind, const QString &location)
{
    BeginUpdate();
    bool failed = false;
    try {
        if (kind != stIniFile)
            throw EComPort(17);
        const IniFile ini(location);
        const QString section = objectName();
        for (TStoredGroup group : GroupOrder) {
            if (!storedGroups_.contains(group))
                continue;
            for (const StoredKey &k : groupKeys(group)) {
                const QString key = QLatin1String(k.key);
                // A missing key reads as the current value, so it changes nothing.
                const QString current = k.get(*this);
                k.set(*this, k.numeric ? QString::number(ini.readInteger(section, key, current.toInt()))
                                       : ini.readString(section, key, current));
                if (group == sgBasic && key == QLatin1String("BaudRate") && BaudRate() == brCustom)
                    setCustomBaudRate(ini.readInteger(section, QStringLiteral("CustomBaudRate"), 9600));
            }
        }
    } catch (...) {
        failed = true;
    }
    try {
        EndUpdate();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw EComPort(17);
}
