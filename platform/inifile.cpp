#include "platform/inifile.h"

#include <QFile>
#include "platform/filewrite.h"
#include <QStringList>

#include <climits>

namespace {

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

bool isSectionHeader(const QString &line, QString *name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype end = t.indexOf(QLatin1Char(']'));
    *name = t.mid(1, end < 0 ? -1 : end - 1).trimmed();
    return true;
}

// The key of a "key=value" line, or an empty text for any other line.
QString keyOf(const QString &line, QString *value = nullptr)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return {};
    if (value) {
        QString v = line.mid(eq + 1).trimmed();
        // A value in matching quotes is read without them.
        if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\''))
            && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        *value = v;
    }
    return line.left(eq).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    bool inSection = false;
    for (const QString &line : readLines(path_)) {
        QString name;
        if (isSectionHeader(line, &name)) {
            inSection = sameName(name, section);
            continue;
        }
        QString value;
        if (inSection && sameName(keyOf(line, &value), key))
            return value;
    }
    return defaultValue;
}

bool IniFile::parseInteger(const QString &text, int *value)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1Char('$'))) {
        base = 16;
        t.remove(0, 1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty() || t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')))
        return false;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    const qlonglong signedValue = negative ? -v : v;
    // Hexadecimal spells the bits of a 32-bit value, so $FFFFFFFF is -1.
    if (!ok || (base == 10 && (signedValue < INT_MIN || signedValue > INT_MAX))
        || (base == 16 && v > 0xFFFFFFFFLL))
        return false;
    *value = base == 16 ? int(quint32(v)) * (negative ? -1 : 1) : int(signedValue);
    return true;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    int v = 0;
    return parseInteger(readString(section, key, QString()), &v) ? v : defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    QStringList lines = readLines(path_);
    const QString entry = key + QLatin1Char('=') + value;
    qsizetype sectionAt = -1, insertAt = -1;
    bool done = false;
    for (qsizetype i = 0; i < lines.size() && !done; ++i) {
        QString name;
        if (isSectionHeader(lines[i], &name)) {
            if (sectionAt >= 0)
                break;
            if (sameName(name, section))
                sectionAt = insertAt = i + 1;
            continue;
        }
        if (sectionAt < 0)
            continue;
        if (sameName(keyOf(lines[i]), key)) {
            lines[i] = entry;
            done = true;
        } else if (!lines[i].trimmed().isEmpty()) {
            insertAt = i + 1;
        }
    }
    if (!done) {
        if (sectionAt < 0) {
            if (!lines.isEmpty() && !lines.back().trimmed().isEmpty())
                lines << QString();
            lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
        } else {
            lines.insert(insertAt, entry);
        }
    }

    try {
        writeWholeFile(path_, lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    } catch (const FileWriteError &e) {
        throw WriteError(e.what());
    }
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
