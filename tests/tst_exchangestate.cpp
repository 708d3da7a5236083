// The parameter exchange's judgement, without a window or a port: what each
// step shows and which block the fields take.

#include "link/exchange.h"

#include <QtTest>

namespace {

// The charger's reply to the frame in TxBlock: its block, the little-endian
// checksum and a spare byte; `alter` changes one block byte first.
QByteArray replyTo(const ParameterBlock &block, bool alter = false, bool badSum = false)
{
    auto bytes = encodeBlock(block);
    if (alter)
        bytes[3] ^= 1;
    QByteArray out(reinterpret_cast<const char *>(bytes.data()), BlockSize);
    const quint16 sum = quint16(blockChecksum(bytes.data()) + (badSum ? 1 : 0));
    out += char(sum & 0xFF);
    out += char(sum >> 8);
    out += char(0);
    return out;
}

const quint8 *data(const QByteArray &b)
{
    return reinterpret_cast<const quint8 *>(b.constData());
}

ParameterBlock someBlock()
{
    ParameterBlock b;
    b.mhFast = 204;
    b.mhTrickle = 20;
    b.mhHours = 2;
    b.mhMinutes = 30;
    b.cdFast = 102;
    b.cdTrickle = 10;
    b.cdHours = 1;
    b.cdMinutes = 10;
    b.maxTemperature = 40;
    b.maxRise = 10;
    return b;
}

} // namespace

class TestExchangeState : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("readAfterWrite");
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("badSum");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("block");
        QTest::newRow("write, echo") << true << false << false << false << "Удачно!" << true;
        QTest::newRow("write, altered echo") << true << false << true << false << "Ошибка!" << false;
        QTest::newRow("write, bad checksum") << true << false << false << true << "Ошибка!" << false;
        QTest::newRow("read") << false << false << false << false << "Считанно!" << true;
        // A read's reply is a read's, though an earlier write still waited.
        QTest::newRow("read after a write") << true << true << true << false << "Считанно!" << true;
        QTest::newRow("read, bad checksum") << false << false << false << true << "Ошибка!" << false;
    }
    void steps()
    {
        QFETCH(bool, write);
        QFETCH(bool, readAfterWrite);
        QFETCH(bool, alter);
        QFETCH(bool, badSum);
        QFETCH(QString, status);
        QFETCH(bool, block);
        const ParameterBlock sent = someBlock();
        ParameterExchange exchange;
        ExchangeOutcome out = write ? exchange.writeRequested(sent) : exchange.readRequested();
        QCOMPARE(out.status, write ? QStringLiteral("Запись") : QStringLiteral("Чтение"));
        QCOMPARE(exchange.TxBlock[1], quint8(write ? CmdWrite : CmdRead));
        if (readAfterWrite)
            exchange.readRequested();
        out = exchange.reply(data(replyTo(sent, alter, badSum)));
        QCOMPARE(out.status, status);
        QCOMPARE(out.failure, !block);
        QCOMPARE(out.block.has_value(), block);
        if (block && !alter)
            QVERIFY(*out.block == sent);
        QVERIFY(!exchange.WritePending);
    }

    void timeOut()
    {
        ParameterExchange exchange;
        exchange.writeRequested(someBlock());
        const ExchangeOutcome out = ParameterExchange::timedOut();
        QCOMPARE(out.status, QStringLiteral("Нет ответа!"));
        QVERIFY(out.failure);
        // A late echo is still judged as the write's.
        QCOMPARE(exchange.reply(data(replyTo(someBlock()))).status, QStringLiteral("Удачно!"));
    }

    // A current read back into a field: its mA, and whether the clamped
    // value is the same charger setting.
    void currentsReadBack_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("milliamps");
        QTest::addColumn<bool>("same");
        QTest::newRow("in range") << 204 << 16 << 2000 << 1001 << true;
        QTest::newRow("top of the range comes back one above") << 102 << 16 << 500 << 501 << true;
        QTest::newRow("far above the range") << 255 << 8 << 100 << 1251 << false;
    }
    void currentsReadBack()
    {
        QFETCH(int, units);
        QFETCH(int, bits);
        QFETCH(int, max);
        QFETCH(int, milliamps);
        QFETCH(bool, same);
        const ReadBackCurrent c = readBack(units, bits, 51, 250, 0, max);
        QCOMPARE(c.milliamps, milliamps);
        QCOMPARE(c.sameSetting, same);
    }
};

QTEST_MAIN(TestExchangeState)
#include "tst_exchangestate.moc"
