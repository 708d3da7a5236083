#pragma once

// Writing a whole file so that a failure never costs the file that was
// there: the bytes go beside it first and are renamed over it only once
// they are all on the disk. What went wrong is told in the program's
// language, naming the file and the cause.

#include <QByteArray>
#include <QString>

#include <stdexcept>

class FileWriteError : public std::runtime_error
{
public:
    FileWriteError(const QString &path, int error);
    int error() const { return error_; }

private:
    int error_;
};

// Throws FileWriteError; the file at `path` is then as it was.
void writeWholeFile(const QString &path, const QByteArray &bytes);

// "Не удалось записать файл <path>: <cause>." and, on a line of its own,
// what the user can do about it.
QString fileWriteFailureText(const QString &path, int error);
// The cause of an errno value, in a few words.
QString fileErrorCause(int error);
// What to do about an errno value, one sentence.
QString fileErrorAdvice(int error);
