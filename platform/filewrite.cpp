#include "platform/filewrite.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString fileErrorCause(int error)
{
    switch (error) {
    case ENOSPC: return QStringLiteral("на диске нет места");
    case EDQUOT: return QStringLiteral("исчерпана дисковая квота");
    case EIO: return QStringLiteral("ошибка ввода-вывода на диске");
    case EACCES:
    case EPERM: return QStringLiteral("нет прав на запись");
    case EROFS: return QStringLiteral("диск доступен только для чтения");
    case ENOENT: return QStringLiteral("такой папки нет");
    case ENOTDIR: return QStringLiteral("в пути к файлу не папка");
    case EISDIR: return QStringLiteral("это папка, а не файл");
    case ENAMETOOLONG: return QStringLiteral("слишком длинное имя");
    case EFBIG: return QStringLiteral("файл слишком велик для этого диска");
    default:
        return QStringLiteral("системная ошибка %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString fileErrorAdvice(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("Освободите место на диске или сохраните файл на другой диск.");
    case EFBIG: return QStringLiteral("Сохраните файл на другой диск.");
    case EIO: return QStringLiteral("Проверьте, подключён ли диск или носитель, и попробуйте ещё раз; "
                                    "если ошибка повторится, сохраните файл на другой диск.");
    case EACCES:
    case EPERM: return QStringLiteral("Сохраните файл в папку, куда вам можно писать, например в домашнюю, "
                                      "или попросите владельца папки дать вам права.");
    case EROFS: return QStringLiteral("Сохраните файл на другой диск.");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("Выберите существующую папку.");
    case EISDIR: return QStringLiteral("Выберите другое имя файла.");
    case ENAMETOOLONG: return QStringLiteral("Выберите более короткое имя файла.");
    default: return QStringLiteral("Попробуйте ещё раз или сохраните файл в другую папку.");
    }
}

QString fileWriteFailureText(const QString &path, int error)
{
    return QStringLiteral("Не удалось записать файл %1: %2.\n%3").arg(path, fileErrorCause(error), fileErrorAdvice(error));
}

FileWriteError::FileWriteError(const QString &path, int error)
    : std::runtime_error(fileWriteFailureText(path, error).toStdString()), error_(error)
{
}

void writeWholeFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        throw FileWriteError(path, errno);
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.constData());
        throw FileWriteError(path, error);
    };
    // A file replaced keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    if (::stat(target.constData(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : ENOSPC);
        done += n;
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        throw FileWriteError(path, error);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        throw FileWriteError(path, error);
    }
}
