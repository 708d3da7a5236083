#pragma once

// The serial port component's types: line settings, event and signal sets,
// and the text forms of the settings as settings files and the setup dialog
// have them.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>

enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
    br56000, br57600, br115200, br128000, br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
enum TSyncMethod { smThreadSync, smWindowSync, smNone };
enum TComSignal { csCTS, csDSR, csRing, csRLSD };
// Where stored settings go: the registry does not exist on this system, so
// only the INI kind works; the other raises the store or load error.
enum TStoreType { stRegistry, stIniFile };
// The groups of settings that are stored, in the order they are written.
enum TStoredGroup { sgBasic, sgOthers, sgParity, sgBuffer, sgTimeouts, sgFlowControl };
enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };

// A set of enumeration values; bit i stands for the value with ordinal i.
template <typename E>
class TSet
{
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values)
    {
        for (E v : values)
            bits_ |= bit(v);
    }
    static constexpr TSet fromBits(std::uint32_t bits)
    {
        TSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool contains(E v) const { return bits_ & bit(v); }
    constexpr void insert(E v) { bits_ |= bit(v); }
    constexpr void remove(E v) { bits_ &= ~bit(v); }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr std::uint32_t bits() const { return bits_; }
    constexpr bool operator==(const TSet &) const = default;

private:
    static constexpr std::uint32_t bit(E v) { return 1u << static_cast<unsigned>(v); }
    std::uint32_t bits_ = 0;
};

using TComEvents = TSet<TComEvent>;
using TComSignals = TSet<TComSignal>;
using TComErrors = TSet<TComError>;
using TStoredGroups = TSet<TStoredGroup>;

inline constexpr TComEvents AllComEvents = TComEvents::fromBits(0x3FF);

// Bits per second of a rate; 0 for brCustom.
int baudRateValue(TBaudRate rate);

// Text forms of the settings, as stored in settings files and listed in the
// setup dialog. Reading compares in upper case; an unknown text reads as the
// type's fallback (br9600, sbOneStopBit, dbEight, prNone, fcCustom).
QString baudRateToStr(TBaudRate v);
QString stopBitsToStr(TStopBits v);
QString dataBitsToStr(TDataBits v);
QString parityToStr(TParityBits v);
QString flowControlToStr(TFlowControl v);
TBaudRate strToBaudRate(const QString &s);
TStopBits strToStopBits(const QString &s);
TDataBits strToDataBits(const QString &s);
TParityBits strToParity(const QString &s);
TFlowControl strToFlowControl(const QString &s);
QString dtrFlowToStr(TDTRFlowControl v);
QString rtsFlowToStr(TRTSFlowControl v);
TDTRFlowControl strToDtrFlow(const QString &s); // unknown: dtrDisable
TRTSFlowControl strToRtsFlow(const QString &s); // unknown: rtsDisable
QString boolToStr(bool v);          // "Yes" / "No"
bool strToBool(const QString &s);   // true only for "YES" in any case
// A character as itself for codes 33..127, else "#" and its code ("#17").
QString charToStr(char c);
// "#" and a number, the empty text as #0, otherwise the first character;
// throws std::invalid_argument for "#" followed by no number.
char strToChar(const QString &s);

// The texts of each setting's values in their ordinal order, as the setup
// dialog lists them.
QStringList baudRateTexts();
QStringList dataBitsTexts();
QStringList stopBitsTexts();
QStringList parityTexts();
QStringList flowControlTexts();
