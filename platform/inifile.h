#pragma once

#include <QString>

#include <stdexcept>

// The settings file as the charger's tools have always kept it: sections of
// "key=value" lines, read and written one value at a time.
//
// A missing file, section or key reads as the default. Section and key names
// match without regard to case. Every write lands in the file at once (the
// file is read again, changed in place with its order kept, and replaced
// atomically), so nothing is lost if the program stops between two writes.
class IniFile
{
public:
    // A write that cannot land; the text names the file.
    class WriteError : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    explicit IniFile(QString path) : path_(std::move(path)) {}

    const QString &path() const { return path_; }

    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;
    // Decimal, or hexadecimal after "$" or "0x"; anything else is the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer, non-zero for true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Parses an integer the way readInteger() does.
    static bool parseInteger(const QString &text, int *value);

private:
    QString path_;
};
