#include "link/exchange.h"

#include <algorithm>

ExchangeOutcome ParameterExchange::writeRequested(const ParameterBlock &block)
{
    buildCommand(CmdWrite, &block);
    WritePending = true;
    return {QStringLiteral("Запись"), false, std::nullopt};
}

ExchangeOutcome ParameterExchange::readRequested()
{
    buildCommand(CmdRead);
    WritePending = false;
    return {QStringLiteral("Чтение"), false, std::nullopt};
}

ExchangeOutcome ParameterExchange::reply(const quint8 *bytes)
{
    const bool write = WritePending;
    WritePending = false;
    if (!replyIsGood(bytes, write))
        return {QStringLiteral("Ошибка!"), true, std::nullopt};
    return {write ? QStringLiteral("Удачно!") : QStringLiteral("Считанно!"), false, decodeBlock(bytes)};
}

ExchangeOutcome ParameterExchange::timedOut()
{
    return {QStringLiteral("Нет ответа!"), true, std::nullopt};
}

ReadBackCurrent readBack(int units, int bits, int senseR, quint16 step, int fieldMin, int fieldMax)
{
    const int ma = toMilliamps(units, senseR, step);
    const int kept = std::clamp(ma, fieldMin, fieldMax);
    return {ma, chargerUnits(kept, senseR, step, bits) == quint32(units)};
}
