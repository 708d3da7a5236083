#include "link/exchange.h"

#include <algorithm>
#include <cstring>

void ParameterExchange::ClearTxBlock()
{
    std::fill(std::begin(TxBlock), std::end(TxBlock), 0);
}

void ParameterExchange::buildCommand(Command command, const ParameterBlock *block)
{
    ClearTxBlock();
    TxBlock[0] = FrameStart;
    TxBlock[1] = command;
    if (block) {
        const auto bytes = encodeBlock(*block);
        std::memcpy(TxBlock + 2, bytes.data(), BlockSize);
    }
    TxBlock[14] = FrameEnd;
}

bool ParameterExchange::replyIsGood(const quint8 *reply, bool checkEcho) const
{
    if (checkEcho && std::memcmp(reply, TxBlock + 2, BlockSize) != 0)
        return false;
    return blockChecksum(reply) == quint16(reply[12] | reply[13] << 8);
}

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
