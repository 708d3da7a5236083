#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// A journal left behind by a run that ended without retiring it (a crash, a
// kill, a power cut). While this object lives, its file is locked, so no
// other running program takes it too.
class LeftoverJournal
{
public:
    LeftoverJournal(QString path, int fd, QByteArray bytes);
    LeftoverJournal(LeftoverJournal &&other) noexcept;
    LeftoverJournal &operator=(LeftoverJournal &&other) noexcept;
    ~LeftoverJournal();

    const QString &path() const { return path_; }
    const QByteArray &bytes() const { return bytes_; }

    // Renamed to "unsaved-<date>.ojl" beside it: never offered again, never
    // deleted. Returns the new path, or an empty string when the rename failed.
    QString setAside(const QString &date);
    // Deleted: it held nothing that was not saved.
    void remove();

private:
    friend class JournalFile;
    int release();
    QString path_;
    int fd_ = -1;
    QByteArray bytes_;
};

// The program's own journal: an append-only file in the user's state folder,
// locked for as long as the program runs. Appends only queue the bytes; a
// thread of its own writes them in batches and syncs them to the disk a few
// times a second, so the receive path never waits for the disk.
class JournalFile
{
public:
    JournalFile() = default;
    JournalFile(const JournalFile &) = delete;
    JournalFile &operator=(const JournalFile &) = delete;
    ~JournalFile(); // close()

    // $XDG_STATE_HOME/ostrel, else ~/.local/state/ostrel.
    static QString defaultFolder();
    // The journals in the folder that no running program holds, oldest first.
    static std::vector<LeftoverJournal> leftovers(const QString &folder);

    // A new, empty journal in the folder; false with error() set when the
    // folder or the file cannot be made.
    bool create(const QString &folder);
    // Goes on writing a leftover journal, cut after its last whole record.
    bool adopt(LeftoverJournal &&journal, qint64 keepBytes);

    bool isOpen() const { return fd_ >= 0; }
    const QString &path() const { return path_; }

    void append(const QByteArray &bytes);
    // Starts the file again from these bytes (what was queued before is dropped).
    void restart(const QByteArray &bytes);
    // Returns once everything queued is on the disk.
    void flush();
    // Stops writing; the file stays for the next start to find.
    void close();
    // Stops writing and deletes the file.
    void discard();

    // The first write failure's reason, empty while all went well.
    QString error() const;

    // The interval between syncs to the disk.
    static constexpr int SyncIntervalMs = 250;
    // Writes (each with its sync) so far.
    quint64 writes() const;

private:
    void start(int fd, const QString &path);
    void run();

    int fd_ = -1;
    QString path_;
    std::thread writer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    QByteArray pending_;
    bool truncate_ = false;
    bool stop_ = false;
    bool flushNow_ = false;
    quint64 queued_ = 0;  // appends and restarts so far
    quint64 done_ = 0;    // of those, how many are on the disk
    quint64 writes_ = 0;
    QString error_;
};
