// The serial port's stored settings: any text as the port's section of the
// settings file, loaded into a port (never opened), and each setting's text
// form read back.

#include "serial/CPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {
QTemporaryDir *folder;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &value : text.split(QLatin1Char('\n'))) {
        baudRateToStr(strToBaudRate(value));
        stopBitsToStr(strToStopBits(value));
        dataBitsToStr(strToDataBits(value));
        parityToStr(strToParity(value));
        flowControlToStr(strToFlowControl(value));
        dtrFlowToStr(strToDtrFlow(value));
        rtsFlowToStr(strToRtsFlow(value));
        strToBool(value);
        try {
            charToStr(strToChar(value));
        } catch (const std::invalid_argument &) {
        }
    }
    const QString path = QDir(folder->path()).filePath(QStringLiteral("zlt.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write("[ComPort1]\r\n");
        f.write(reinterpret_cast<const char *>(data), qsizetype(size));
    }
    TComPort port;
    try {
        port.LoadSettings(stIniFile, path);
    } catch (const EComPort &) {
    }
    return 0;
}
