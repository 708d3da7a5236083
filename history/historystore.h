#pragma once

// The charge history's database: one SQLite file under the user's data
// folder, shared by every running copy of the program (two chargers on two
// ports), written in transactions, its schema versioned. A connection
// belongs to the thread that opened it: the window reads through one, the
// history's writer thread writes through its own.

#include "history/historyentry.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class HistoryStore
{
public:
    static constexpr int SchemaVersion = 1;

    HistoryStore() = default;
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;
    ~HistoryStore();

    // $XDG_DATA_HOME/ostrel/history.db, else ~/.local/share/ostrel/history.db.
    static QString defaultPath();

    // Opens the file, making it (and its folder) when missing and bringing
    // an older schema up to date. A file that is not a database or is
    // damaged is moved aside (movedAside() names where) and a new one
    // begun. False with error() set when no database could be had.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    const QString &path() const { return path_; }
    // The last failure in the program's words, empty after a success.
    const QString &error() const { return error_; }
    const QString &movedAside() const { return movedAside_; }
    int schemaVersion() const;

    // A statement of SQL on this connection (a limit, a check).
    bool execute(const char *sql) { return exec(sql); }

    // Several writes as one: all land or none.
    bool begin();
    bool commit();
    void rollback();
    bool inTransaction() const;

    // The entry as it stands now: added when its key is new (a key is made
    // for an entry without one), else its figures and end brought up to
    // date. Its id (also set in `e`), 0 on failure. `owner` names the
    // running program that writes it (processOwner()).
    qint64 keep(HistoryEntry &e, const QString &owner);
    bool appendLines(qint64 id, const QStringList &lines);
    bool setLabel(const QString &key, const QString &label);
    // Entries still running whose program is gone are marked cut short;
    // how many were.
    int closeAbandoned(const std::function<bool(const QString &owner)> &alive);

    // Small remembered values (each channel's last label).
    bool setMeta(const QString &key, const QString &value);
    QString meta(const QString &key) const;

    // Every entry without its lines, oldest first.
    std::vector<HistoryEntry> entries() const;
    std::optional<HistoryEntry> entry(qint64 id) const;
    QStringList lines(qint64 id) const;
    // Every label given so far, the last used first.
    QStringList labels() const;

private:
    bool openFile();
    bool migrate();
    bool fail(int code, const char *what) const;
    sqlite3_stmt *kept(const char *sql);
    bool exec(const char *sql) const;

    sqlite3 *db_ = nullptr;
    std::vector<std::pair<const char *, sqlite3_stmt *>> kept_;
    QString path_;
    mutable QString error_;
    mutable int lastCode_ = 0;
    QString movedAside_;
};

// This running program, as an entry's owner: its process and when it began,
// so a process number used again by another program is not taken for it.
QString processOwner();
// Whether the owner's program is still running.
bool ownerAlive(const QString &owner);
