#pragma once

// The errors of the serial port component.

#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

// The component's error codes, 1 to 23, in the order of their texts.
enum class ComError {
    OpenFailed = 1,
    WriteFailed,
    ReadFailed,
    InvalidAsync,
    PurgeFailed,
    AsyncStatus,
    SetLineState,
    SetTimeouts,
    SetBufferSizes,
    ClearErrors,
    ModemStatus,
    EscapeFunction,
    TransmitChar,
    SetWhileConnected,
    EnumPorts,
    StoreSettings,
    LoadSettings,
    LinkRegistration,
    LedState,
    ThreadCreated,
    WaitFailed,
    RxBufLinked,
    PortList,
};

// Error of the component: `Code` from 1 to 23 (a ComError), `WinCode` the
// system error (errno here) or -1.
class EComPort : public std::runtime_error
{
public:
    EComPort(ComError code, int winCode = -1);
    int Code;
    int WinCode;
};

// The English text of an error code (1 to 23), as translated at start-up.
QString comErrorText(int code);
// Replaces the texts (the message catalog is read once at start-up); `texts`
// holds the 23 texts in code order.
void setComErrorTexts(const std::vector<QString> &texts);
// The suffix appended when a system error code is known; "%d" stands for it.
void setComErrorSuffix(std::function<QString()> suffix);
