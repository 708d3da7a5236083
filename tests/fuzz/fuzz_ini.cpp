// The settings file: any bytes as zlt.ini, read as the program reads it,
// a value written into it, and read back.

#include "platform/inifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

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
    const QString path = QDir(folder->path()).filePath(QStringLiteral("zlt.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qsizetype(size));
    }
    IniFile ini(path);
    // Section and key names taken from the input itself, and the usual ones.
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(std::min<size_t>(size, 40)));
    const QString section = text.section(QLatin1Char('\n'), 0, 0), key = text.section(QLatin1Char('\n'), 1, 1);
    for (const auto &[s, k] : {std::pair{QStringLiteral("PageSetting"), QStringLiteral("StepADC")},
                              std::pair{QStringLiteral("ComPort1"), QStringLiteral("BaudRate")},
                              std::pair{section, key}}) {
        ini.readString(s, k, QStringLiteral("-"));
        ini.readInteger(s, k, 7);
        ini.readBool(s, k, true);
    }
    int value = 0;
    IniFile::parseInteger(text, &value);
    // A write lands, and reads back, whatever else the file holds. Names with
    // line breaks or "=" or "]" cannot be keys of such a file.
    const QString name = QStringLiteral("Fuzz");
    try {
        ini.writeInteger(name, QStringLiteral("Value"), int(size));
    } catch (const IniFile::WriteError &) {
        return 0;
    }
    if (ini.readInteger(name, QStringLiteral("Value"), -1) != int(size))
        std::abort();
    return 0;
}
