#pragma once

// The errors of the serial port component.

#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

// Error of the component: `Code` from 1 to 23, `WinCode` the system error
// (errno here) or -1.
class EComPort : public std::runtime_error
{
public:
    EComPort(int code, int winCode = -1);
    int Code;
    int WinCode;
};

// The English text of an error code, as translated at start-up.
QString comErrorText(int code);
// Replaces the texts (the message catalog is read once at start-up); `texts`
// holds the 23 texts in code order.
void setComErrorTexts(const std::vector<QString> &texts);
// The suffix appended when a system error code is known; "%d" stands for it.
void setComErrorSuffix(std::function<QString()> suffix);
