#include "platform/journalfile.h"

#include "platform/filewrite.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString Pattern = QStringLiteral("journal-*.ojl");

QString errnoText(int err)
{
    return fileErrorCause(err);
}

// Taken without waiting: a journal another program holds is that
// program's, and it is not ours to look at.
bool lockFile(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    // A file system without locks still gets a journal.
    return errno != EWOULDBLOCK;
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QByteArray readAll(int fd)
{
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return bytes;
        bytes.append(buffer, n);
    }
}

} // namespace

LeftoverJournal::LeftoverJournal(QString path, int fd, QByteArray bytes)
    : path_(std::move(path)), fd_(fd), bytes_(std::move(bytes))
{
}

LeftoverJournal::LeftoverJournal(LeftoverJournal &&other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), bytes_(std::move(other.bytes_))
{
}

LeftoverJournal &LeftoverJournal::operator=(LeftoverJournal &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

LeftoverJournal::~LeftoverJournal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int LeftoverJournal::release()
{
    return std::exchange(fd_, -1);
}

QString LeftoverJournal::setAside(const QString &date)
{
    const QDir dir = QFileInfo(path_).dir();
    QString target = dir.filePath(QStringLiteral("unsaved-%1.ojl").arg(date));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = dir.filePath(QStringLiteral("unsaved-%1-%2.ojl").arg(date).arg(n));
    // Renamed while still locked, so nobody takes it up half way.
    const bool ok = ::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) == 0;
    if (fd_ >= 0)
        ::close(release());
    return ok ? target : QString();
}

void LeftoverJournal::remove()
{
    ::unlink(QFile::encodeName(path_).constData());
    if (fd_ >= 0)
        ::close(release());
}

JournalFile::~JournalFile()
{
    close();
}

QString JournalFile::defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/ostrel");
}

std::vector<LeftoverJournal> JournalFile::leftovers(const QString &folder)
{
    std::vector<LeftoverJournal> found;
    const QDir dir(folder);
    // The names begin with the date they were made, so by name is by age.
    for (const QString &name : dir.entryList({Pattern}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd); // a running program's own
            continue;
        }
        QByteArray bytes = readAll(fd);
        found.emplace_back(path, fd, std::move(bytes));
    }
    return found;
}

bool JournalFile::create(const QString &folder)
{
    close();
    errno = 0;
    if (!QDir().mkpath(folder)) {
        error_ = QStringLiteral("%1: %2").arg(folder, errnoText(errno ? errno : EACCES));
        return false;
    }
    const QString stem = QStringLiteral("journal-%1-%2")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                             .arg(QCoreApplication::applicationPid());
    QString path = QDir(folder).filePath(stem + QStringLiteral(".ojl"));
    int fd = -1;
    for (int n = 2; (fd = ::open(QFile::encodeName(path).constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600))
                        < 0
                    && errno == EEXIST;
         ++n)
        path = QDir(folder).filePath(stem + QStringLiteral("-%1.ojl").arg(n));
    if (fd < 0) {
        error_ = QStringLiteral("%1: %2").arg(path, errnoText(errno));
        return false;
    }
    lockFile(fd);
    start(fd, path);
    return true;
}

bool JournalFile::adopt(LeftoverJournal &&journal, qint64 keepBytes)
{
    close();
    LeftoverJournal taken = std::move(journal);
    const int fd = taken.release();
    // A record cut short by the crash would swallow the next one written.
    if (::ftruncate(fd, keepBytes) != 0 || ::fcntl(fd, F_SETFL, O_APPEND) != 0) {
        error_ = QStringLiteral("%1: %2").arg(taken.path(), errnoText(errno));
        ::close(fd);
        return false;
    }
    start(fd, taken.path());
    return true;
}

void JournalFile::start(int fd, const QString &path)
{
    fd_ = fd;
    path_ = path;
    stop_ = false;
    writer_ = std::thread([this] { run(); });
}

void JournalFile::append(const QByteArray &bytes)
{
    std::lock_guard lock(mutex_);
    const bool idle = pending_.isEmpty() && !truncate_;
    pending_ += bytes;
    ++queued_;
    if (idle)
        wake_.notify_one();
}

quint64 JournalFile::writes() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

void JournalFile::restart(const QByteArray &bytes)
{
    std::lock_guard lock(mutex_);
    pending_ = bytes;
    truncate_ = true;
    ++queued_;
    wake_.notify_one();
}

void JournalFile::flush()
{
    std::unique_lock lock(mutex_);
    if (!writer_.joinable())
        return;
    const quint64 target = queued_;
    flushNow_ = true;
    wake_.notify_one();
    written_.wait(lock, [&] { return done_ >= target; });
}

void JournalFile::close()
{
    if (!writer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    writer_.join();
    ::close(fd_);
    fd_ = -1;
}

void JournalFile::discard()
{
    const bool open = isOpen();
    close();
    if (open)
        ::unlink(QFile::encodeName(path_).constData());
}

QString JournalFile::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

void JournalFile::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        // Asleep while there is nothing to write (a quiet line costs no
        // wake-ups); then up to SyncIntervalMs more, so that what comes in
        // that time goes in the same write, unless a flush or the end asks
        // for it now.
        wake_.wait(lock, [this] { return stop_ || flushNow_ || !pending_.isEmpty() || truncate_; });
        if (!stop_ && !flushNow_)
            wake_.wait_for(lock, std::chrono::milliseconds(SyncIntervalMs), [this] { return stop_ || flushNow_; });
        flushNow_ = false;
        const quint64 upTo = queued_;
        if (!pending_.isEmpty() || truncate_) {
            QByteArray bytes;
            bytes.swap(pending_);
            const bool truncate = std::exchange(truncate_, false);
            lock.unlock();
            bool ok = !truncate || ::ftruncate(fd_, 0) == 0;
            ok = ok && writeAll(fd_, bytes.constData(), bytes.size()) && ::fdatasync(fd_) == 0;
            const int err = errno;
            lock.lock();
            ++writes_;
            if (!ok && error_.isEmpty())
                error_ = QStringLiteral("%1: %2").arg(path_, errnoText(err));
        }
        done_ = upTo;
        written_.notify_all();
        if (stop_ && pending_.isEmpty() && !truncate_)
            return;
    }
}
