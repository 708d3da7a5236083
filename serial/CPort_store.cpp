// Text forms of the port's settings and their storing in settings files.

#include "serial/CPort.h"
#include "platform/inifile.h"

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
        {"BaudRate", [](const P &p) { return baudRateToStr(p.BaudRate()); },
         [](P &p, const QString &v) { p.setBaudRate(strToBaudRate(v)); }},
        {"StopBits", [](const P &p) { return stopBitsToStr(p.StopBits()); },
         [](P &p, const QString &v) { p.setStopBits(strToStopBits(v)); }},
        {"DataBits", [](const P &p) { return dataBitsToStr(p.DataBits()); },
         [](P &p, const QString &v) { p.setDataBits(strToDataBits(v)); }},
        {"Parity", [](const P &p) { return parityToStr(p.Parity().Bits()); },
         [](P &p, const QString &v) { p.Parity().setBits(strToParity(v)); }},
        {"FlowControl", [](const P &p) { return flowControlToStr(p.FlowControl().FlowControl()); },
         [](P &p, const QString &v) { p.FlowControl().setFlowControl(strToFlowControl(v)); }},
    };
    static const std::vector<StoredKey> others = {
        {"EventChar", [](const P &p) { return charToStr(p.EventChar()); },
         [](P &p, const QString &v) { p.setEventChar(strToChar(v)); }},
        {"DiscardNull", [](const P &p) { return boolToStr(p.DiscardNull()); },
         [](P &p, const QString &v) { p.setDiscardNull(strToBool(v)); }},
    };
    static const std::vector<StoredKey> parity = {
        {"Parity.Check", [](const P &p) { return boolToStr(p.Parity().Check()); },
         [](P &p, const QString &v) { p.Parity().setCheck(strToBool(v)); }},
        {"Parity.Replace", [](const P &p) { return boolToStr(p.Parity().Replace()); },
         [](P &p, const QString &v) { p.Parity().setReplace(strToBool(v)); }},
        {"Parity.ReplaceChar", [](const P &p) { return charToStr(p.Parity().ReplaceChar()); },
         [](P &p, const QString &v) { p.Parity().setReplaceChar(strToChar(v)); }},
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
        {"FlowControl.ControlRTS", [](const P &p) { return rtsFlowToStr(p.FlowControl().ControlRTS()); },
         [](P &p, const QString &v) { p.FlowControl().setControlRTS(strToRtsFlow(v)); }},
        {"FlowControl.ControlDTR", [](const P &p) { return dtrFlowToStr(p.FlowControl().ControlDTR()); },
         [](P &p, const QString &v) { p.FlowControl().setControlDTR(strToDtrFlow(v)); }},
        {"FlowControl.DSRSensitivity", [](const P &p) { return boolToStr(p.FlowControl().DSRSensitivity()); },
         [](P &p, const QString &v) { p.FlowControl().setDSRSensitivity(strToBool(v)); }},
        {"FlowControl.OutCTSFlow", [](const P &p) { return boolToStr(p.FlowControl().OutCTSFlow()); },
         [](P &p, const QString &v) { p.FlowControl().setOutCTSFlow(strToBool(v)); }},
        {"FlowControl.OutDSRFlow", [](const P &p) { return boolToStr(p.FlowControl().OutDSRFlow()); },
         [](P &p, const QString &v) { p.FlowControl().setOutDSRFlow(strToBool(v)); }},
        {"FlowControl.TxContinueOnXoff", [](const P &p) { return boolToStr(p.FlowControl().TxContinueOnXoff()); },
         [](P &p, const QString &v) { p.FlowControl().setTxContinueOnXoff(strToBool(v)); }},
        {"FlowControl.XonXoffIn", [](const P &p) { return boolToStr(p.FlowControl().XonXoffIn()); },
         [](P &p, const QString &v) { p.FlowControl().setXonXoffIn(strToBool(v)); }},
        {"FlowControl.XonXoffOut", [](const P &p) { return boolToStr(p.FlowControl().XonXoffOut()); },
         [](P &p, const QString &v) { p.FlowControl().setXonXoffOut(strToBool(v)); }},
        {"FlowControl.XoffChar", [](const P &p) { return charToStr(p.FlowControl().XoffChar()); },
         [](P &p, const QString &v) { p.FlowControl().setXoffChar(strToChar(v)); }},
        {"FlowControl.XonChar", [](const P &p) { return charToStr(p.FlowControl().XonChar()); },
         [](P &p, const QString &v) { p.FlowControl().setXonChar(strToChar(v)); }},
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

QString baudRateToStr(TBaudRate v) { return QString::fromLatin1(BaudTexts[v]); }
QString stopBitsToStr(TStopBits v) { return QString::fromLatin1(StopTexts[v]); }
QString dataBitsToStr(TDataBits v) { return QString::fromLatin1(DataTexts[v]); }
QString parityToStr(TParityBits v) { return QString::fromLatin1(ParityNames[v]); }
QString flowControlToStr(TFlowControl v) { return QString::fromLatin1(FlowTexts[v]); }
QString dtrFlowToStr(TDTRFlowControl v) { return QString::fromLatin1(DTRTexts[v]); }
QString rtsFlowToStr(TRTSFlowControl v) { return QString::fromLatin1(RTSTexts[v]); }
TBaudRate strToBaudRate(const QString &s) { return fromText(BaudTexts, s, br9600); }
TStopBits strToStopBits(const QString &s) { return fromText(StopTexts, s, sbOneStopBit); }
TDataBits strToDataBits(const QString &s) { return fromText(DataTexts, s, dbEight); }
TParityBits strToParity(const QString &s) { return fromText(ParityNames, s, prNone); }
TFlowControl strToFlowControl(const QString &s) { return fromText(FlowTexts, s, fcCustom); }
TDTRFlowControl strToDtrFlow(const QString &s) { return fromText(DTRTexts, s, dtrDisable); }
TRTSFlowControl strToRtsFlow(const QString &s) { return fromText(RTSTexts, s, rtsDisable); }
QStringList baudRateTexts() { return all(BaudTexts); }
QStringList dataBitsTexts() { return all(DataTexts); }
QStringList stopBitsTexts() { return all(StopTexts); }
QStringList parityTexts() { return all(ParityNames); }
QStringList flowControlTexts() { return all(FlowTexts); }

QString boolToStr(bool v)
{
    return v ? QStringLiteral("Yes") : QStringLiteral("No");
}

bool strToBool(const QString &s)
{
    return s.toUpper() == QLatin1String("YES");
}

QString charToStr(char c)
{
    const int code = static_cast<unsigned char>(c);
    return code >= 33 && code <= 127 ? QString(QChar(code)) : QStringLiteral("#%1").arg(code);
}

char strToChar(const QString &s)
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
        throw EComPort(ComError::StoreSettings);
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
        throw EComPort(ComError::StoreSettings);
    }
}

void TCustomComPort::LoadSettings(TStoreType kind, const QString &location)
{
    BeginUpdate();
    bool failed = false;
    try {
        if (kind != stIniFile)
            throw EComPort(ComError::LoadSettings);
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
        throw EComPort(ComError::LoadSettings);
}
