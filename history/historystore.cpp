#include "history/historystore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cmath>

#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// A piece of a charge's lines, compressed as qCompress() does it (its size,
// four bytes big-endian, then a zlib stream), so that qUncompress() reads
// it. zlib's default state is some 260 KB, cleared at every start and given
// back at the end; a piece of a few lines written every few seconds needs
// a window no larger than itself, and then takes a few kilobytes.
QByteArray compressPiece(const QByteArray &data)
{
    const uLong size = uLong(data.size());
    if (size == 0)
        return qCompress(data);
    int windowBits = 9; // zlib's smallest
    while (windowBits < 15 && (uLong(1) << windowBits) < size + 262) // 262: its look-ahead
        ++windowBits;
    z_stream z {};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, std::max(1, windowBits - 7),
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return qCompress(data);
    QByteArray out(4 + qsizetype(deflateBound(&z, size)), Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        out[i] = char(size >> (24 - 8 * i));
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(size);
    z.next_out = reinterpret_cast<Bytef *>(out.data() + 4);
    z.avail_out = uInt(out.size() - 4);
    const int done = deflate(&z, Z_FINISH);
    const uLong written = z.total_out;
    deflateEnd(&z);
    if (done != Z_STREAM_END)
        return qCompress(data);
    out.truncate(4 + qsizetype(written));
    return out;
}

// A prepared statement that finalizes itself.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { code_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    // One of the store's kept statements: made ready again, not finalized.
    explicit Statement(sqlite3_stmt *kept) : stmt_(kept), kept_(true) { code_ = kept ? SQLITE_OK : SQLITE_ERROR; }
    ~Statement()
    {
        if (!kept_) {
            sqlite3_finalize(stmt_);
        } else if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool prepared() const { return code_ == SQLITE_OK; }
    int code() const { return code_; }

    void bind(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, int v) { sqlite3_bind_int(stmt_, i, v); }
    // A figure that is no number (a damaged file's) is kept as 0: the
    // columns take no NULL, and one bad figure must not stop every write.
    void bind(int i, double v) { sqlite3_bind_double(stmt_, i, std::isfinite(v) ? v : 0); }
    void bind(int i, const QString &v)
    {
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(stmt_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, const QByteArray &v) { sqlite3_bind_blob(stmt_, i, v.constData(), int(v.size()), SQLITE_TRANSIENT); }
    void bind(int i, const std::optional<double> &v)
    {
        if (v && std::isfinite(*v))
            bind(i, *v);
        else
            sqlite3_bind_null(stmt_, i);
    }
    void bindTime(int i, const QDateTime &t)
    {
        if (t.isValid())
            bind(i, qint64(t.toMSecsSinceEpoch()));
        else
            sqlite3_bind_null(stmt_, i);
    }

    // SQLITE_ROW, SQLITE_DONE or an error.
    int step()
    {
        code_ = sqlite3_step(stmt_);
        return code_;
    }

    qint64 integer(int c) const { return sqlite3_column_int64(stmt_, c); }
    double real(int c) const { return sqlite3_column_double(stmt_, c); }
    bool null(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    std::optional<double> optionalReal(int c) const { return null(c) ? std::nullopt : std::optional(real(c)); }
    QString text(int c) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt_, c)),
                                 sqlite3_column_bytes(stmt_, c));
    }
    QByteArray blob(int c) const
    {
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt_, c)), sqlite3_column_bytes(stmt_, c));
    }
    QDateTime time(int c) const
    {
        return null(c) ? QDateTime() : QDateTime::fromMSecsSinceEpoch(integer(c), Qt::UTC);
    }

private:
    sqlite3_stmt *stmt_ = nullptr;
    bool kept_ = false;
    int code_ = SQLITE_OK;
};

bool damaged(int code)
{
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// The version 1 schema. Times are milliseconds since the epoch (UTC), so
// they sort and filter as numbers. The lines are kept apart, in pieces as
// they were written, each piece compressed: a charge of a day is tens of
// thousands of lines that only a reopened charge reads.
const char *const SchemaV1 = R"(
CREATE TABLE charge (
    id INTEGER PRIMARY KEY,
    key TEXT NOT NULL UNIQUE,
    channel TEXT NOT NULL,
    started INTEGER NOT NULL,
    ended INTEGER,
    label TEXT NOT NULL DEFAULT '',
    discharge INTEGER NOT NULL DEFAULT 0,
    chemistry TEXT NOT NULL DEFAULT '',
    current_ma INTEGER NOT NULL DEFAULT 0,
    trickle INTEGER NOT NULL DEFAULT 0,
    time_only INTEGER NOT NULL DEFAULT 0,
    seconds REAL NOT NULL DEFAULT 0,
    capacity_mah REAL NOT NULL DEFAULT 0,
    samples INTEGER NOT NULL DEFAULT 0,
    u_start REAL NOT NULL DEFAULT 0,
    u_peak REAL NOT NULL DEFAULT 0,
    u_end REAL NOT NULL DEFAULT 0,
    t_peak REAL NOT NULL DEFAULT 0,
    t_rise REAL,
    resistance REAL,
    end_kind INTEGER NOT NULL DEFAULT 0,
    end_report TEXT NOT NULL DEFAULT '',
    source TEXT NOT NULL DEFAULT '',
    owner TEXT NOT NULL DEFAULT ''
);
CREATE INDEX charge_label ON charge(label, started);
CREATE INDEX charge_running ON charge(end_kind) WHERE end_kind = 0;
CREATE TABLE charge_lines (
    charge_id INTEGER NOT NULL REFERENCES charge(id) ON DELETE CASCADE,
    piece INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY (charge_id, piece)
);
CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
)";

const char *const EntryColumns =
    "id, key, channel, started, ended, label, discharge, chemistry, current_ma, trickle, time_only, seconds, "
    "capacity_mah, samples, u_start, u_peak, u_end, t_peak, t_rise, resistance, end_kind, end_report, source";

HistoryEntry readEntry(const Statement &s)
{
    HistoryEntry e;
    e.id = s.integer(0);
    e.key = s.text(1);
    const QString channel = s.text(2);
    e.channel = channel == QLatin1String("B") ? 'B' : 'A';
    e.started = s.time(3);
    e.ended = s.time(4);
    e.label = s.text(5);
    e.discharge = s.integer(6) != 0;
    e.chemistry = s.text(7);
    e.currentMilliamps = int(s.integer(8));
    e.trickle = s.integer(9) != 0;
    e.timeOnly = s.integer(10) != 0;
    e.seconds = s.real(11);
    e.capacity = s.real(12);
    e.samples = int(s.integer(13));
    e.uStart = s.real(14);
    e.uPeak = s.real(15);
    e.uEnd = s.real(16);
    e.tPeak = s.real(17);
    e.tRise = s.optionalReal(18);
    e.resistance = s.optionalReal(19);
    const qint64 end = s.integer(20);
    e.end = end >= 0 && end <= qint64(ChargeEnd::Imported) ? ChargeEnd(end) : ChargeEnd::Running;
    e.endReport = s.text(21);
    e.source = s.text(22);
    return e;
}

// An entry written whole: a new one added, one already there (by its key)
// brought up to date. Its label, start, channel and owner are what it was
// added with: a label changes only by setLabel, so a label given in the
// history window holds against the recorder's next write.
const char *const KeepSql =
    "INSERT INTO charge (key, channel, started, ended, label, discharge, chemistry, current_ma, trickle, "
    "time_only, seconds, capacity_mah, samples, u_start, u_peak, u_end, t_peak, t_rise, resistance, end_kind, "
    "end_report, source, owner) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, "
    "?17, ?18, ?19, ?20, ?21, ?22, ?23) ON CONFLICT(key) DO UPDATE SET ended = ?4, discharge = ?6, "
    "chemistry = ?7, current_ma = ?8, trickle = ?9, time_only = ?10, seconds = ?11, capacity_mah = ?12, "
    "samples = ?13, u_start = ?14, u_peak = ?15, u_end = ?16, t_peak = ?17, t_rise = ?18, resistance = ?19, "
    "end_kind = ?20, end_report = ?21 RETURNING id";

} // namespace

QString endText(const HistoryEntry &e)
{
    switch (e.end) {
    case ChargeEnd::Running: return QStringLiteral("идёт");
    case ChargeEnd::Report: return e.endReport.isEmpty() ? QStringLiteral("отчёт без причины") : e.endReport;
    case ChargeEnd::Stopped: return QStringLiteral("остановлен кнопкой Stop");
    case ChargeEnd::Unplugged: return QStringLiteral("адаптер отключён");
    case ChargeEnd::Closed: return QStringLiteral("программа закрыта");
    case ChargeEnd::CutShort: return QStringLiteral("прерван");
    case ChargeEnd::NextBlock: return QStringLiteral("нет отчёта об окончании");
    case ChargeEnd::Imported: return QStringLiteral("из файла, без отчёта");
    }
    return {};
}

HistoryStore::~HistoryStore()
{
    close();
}

QString HistoryStore::defaultPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::home().filePath(QStringLiteral(".local/share"));
    return QDir(data).filePath(QStringLiteral("ostrel/history.db"));
}

bool HistoryStore::fail(int code, const char *what) const
{
    QString why;
    switch (code & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN: why = QStringLiteral("нет права записи"); break;
    case SQLITE_FULL: why = QStringLiteral("диск заполнен"); break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: why = QStringLiteral("база занята другой программой"); break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: why = QStringLiteral("база повреждена"); break;
    case SQLITE_IOERR: why = QStringLiteral("ошибка ввода-вывода"); break;
    default: why = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
    }
    error_ = QStringLiteral("%1: %2").arg(QString::fromUtf8(what), why);
    return false;
}

bool HistoryStore::exec(const char *sql) const
{
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK || fail(code, "запрос");
}

bool HistoryStore::open(const QString &path)
{
    close();
    path_ = path;
    error_.clear();
    movedAside_.clear();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error_ = QStringLiteral("не могу создать папку %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    if (openFile())
        return true;
    close();
    if (!damaged(lastCode_))
        return false;
    // Kept, not deleted: what it holds may yet be saved by hand.
    const QString aside = path + QStringLiteral(".damaged-")
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path, aside)) {
        error_ = QStringLiteral("база повреждена, и её не удалось отложить");
        return false;
    }
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    movedAside_ = aside;
    if (openFile())
        return true;
    close();
    return false;
}

bool HistoryStore::openFile()
{
    lastCode_ = sqlite3_open_v2(path_.toUtf8().constData(), &db_,
                                SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (lastCode_ != SQLITE_OK) {
        fail(lastCode_, "открытие");
        close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 0);
    // Two programs may write at once: each waits its turn rather than fail.
    sqlite3_busy_timeout(db_, 5000);
    {
        Statement wal(db_, "PRAGMA journal_mode = WAL");
        lastCode_ = wal.prepared() ? wal.step() : wal.code();
        if (lastCode_ != SQLITE_ROW && lastCode_ != SQLITE_DONE) {
            fail(lastCode_, "открытие");
            return false;
        }
    }
    // A commit survives the program's crash; only a power cut may take the
    // last moments, as with the journal.
    if (!exec("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON")) {
        lastCode_ = sqlite3_errcode(db_);
        return false;
    }
    return migrate();
}

bool HistoryStore::migrate()
{
    int version = schemaVersion();
    if (version < 0)
        return false;
    if (version == SchemaVersion)
        return true;
    if (version > SchemaVersion) {
        error_ = QStringLiteral("база истории записана более новой версией программы");
        close();
        return false;
    }
    // One program makes the schema; another one starting at the same time
    // waits here and finds it made.
    if (!exec("BEGIN IMMEDIATE")) {
        lastCode_ = sqlite3_errcode(db_);
        return false;
    }
    version = schemaVersion();
    bool ok = version >= 0;
    if (ok && version < 1)
        ok = exec(SchemaV1);
    // Later versions: ALTER TABLE steps here, each from the one before.
    if (ok)
        ok = exec("PRAGMA user_version = 1");
    if (ok && exec("COMMIT"))
        return true;
    lastCode_ = sqlite3_errcode(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

int HistoryStore::schemaVersion() const
{
    if (!db_)
        return -1;
    Statement s(db_, "PRAGMA user_version");
    lastCode_ = s.prepared() ? s.step() : s.code();
    if (lastCode_ != SQLITE_ROW) {
        fail(lastCode_, "открытие");
        return -1;
    }
    return int(s.integer(0));
}

sqlite3_stmt *HistoryStore::kept(const char *sql)
{
    // A charge is written every second for hours: its two statements are
    // made once, not parsed at every write.
    for (const auto &[text, stmt] : kept_)
        if (text == sql)
            return stmt;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    kept_.emplace_back(sql, stmt);
    return stmt;
}

void HistoryStore::close()
{
    for (const auto &kept : kept_)
        sqlite3_finalize(kept.second);
    kept_.clear();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool HistoryStore::begin()
{
    return db_ && exec("BEGIN IMMEDIATE");
}

bool HistoryStore::commit()
{
    return db_ && exec("COMMIT");
}

bool HistoryStore::inTransaction() const
{
    return db_ && !sqlite3_get_autocommit(db_);
}

void HistoryStore::rollback()
{
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

qint64 HistoryStore::keep(HistoryEntry &e, const QString &owner)
{
    if (!db_)
        return 0;
    if (e.key.isEmpty())
        e.key = QUuid::createUuid().toString(QUuid::WithoutBraces);
    Statement s(kept(KeepSql));
    s.bind(1, e.key);
    s.bind(2, QString(QLatin1Char(e.channel)));
    s.bindTime(3, e.started);
    s.bindTime(4, e.ended);
    s.bind(5, e.label);
    s.bind(6, int(e.discharge));
    s.bind(7, e.chemistry);
    s.bind(8, e.currentMilliamps);
    s.bind(9, int(e.trickle));
    s.bind(10, int(e.timeOnly));
    s.bind(11, e.seconds);
    s.bind(12, e.capacity);
    s.bind(13, e.samples);
    s.bind(14, e.uStart);
    s.bind(15, e.uPeak);
    s.bind(16, e.uEnd);
    s.bind(17, e.tPeak);
    s.bind(18, e.tRise);
    s.bind(19, e.resistance);
    s.bind(20, int(e.end));
    s.bind(21, e.endReport);
    s.bind(22, e.source);
    s.bind(23, owner);
    if (s.step() != SQLITE_ROW)
        return fail(s.code(), "запись"), 0;
    e.id = s.integer(0);
    if (s.step() != SQLITE_DONE)
        return fail(s.code(), "запись"), 0;
    return e.id;
}

bool HistoryStore::appendLines(qint64 id, const QStringList &lines)
{
    if (!db_)
        return false;
    if (lines.isEmpty())
        return true;
    Statement s(kept("INSERT INTO charge_lines (charge_id, piece, data) VALUES (?1, "
                     "(SELECT COALESCE(MAX(piece), -1) + 1 FROM charge_lines WHERE charge_id = ?1), ?2)"));
    s.bind(1, id);
    s.bind(2, compressPiece(lines.join(QLatin1Char('\n')).toUtf8()));
    return s.step() == SQLITE_DONE || fail(s.code(), "запись");
}

bool HistoryStore::setLabel(const QString &key, const QString &label)
{
    if (!db_)
        return false;
    Statement s(db_, "UPDATE charge SET label = ?1 WHERE key = ?2");
    s.bind(1, label);
    s.bind(2, key);
    return s.step() == SQLITE_DONE || fail(s.code(), "запись");
}

int HistoryStore::closeAbandoned(const std::function<bool(const QString &)> &alive)
{
    if (!db_)
        return 0;
    std::vector<qint64> gone;
    {
        Statement s(db_, "SELECT id, owner FROM charge WHERE end_kind = 0");
        while (s.step() == SQLITE_ROW)
            if (!alive(s.text(1)))
                gone.push_back(s.integer(0));
    }
    int closed = 0;
    for (qint64 id : gone) {
        // The end is the last moment known: the start plus its samples' span.
        Statement s(db_, "UPDATE charge SET end_kind = ?1, ended = started + CAST(seconds * 1000 AS INTEGER) "
                         "WHERE id = ?2 AND end_kind = 0");
        s.bind(1, int(ChargeEnd::CutShort));
        s.bind(2, id);
        if (s.step() == SQLITE_DONE)
            closed += sqlite3_changes(db_);
    }
    return closed;
}

bool HistoryStore::setMeta(const QString &key, const QString &value)
{
    if (!db_)
        return false;
    Statement s(db_, "INSERT INTO meta (key, value) VALUES (?1, ?2) ON CONFLICT(key) DO UPDATE SET value = ?2");
    s.bind(1, key);
    s.bind(2, value);
    return s.step() == SQLITE_DONE || fail(s.code(), "запись");
}

QString HistoryStore::meta(const QString &key) const
{
    if (!db_)
        return {};
    Statement s(db_, "SELECT value FROM meta WHERE key = ?1");
    s.bind(1, key);
    return s.step() == SQLITE_ROW ? s.text(0) : QString();
}

std::vector<HistoryEntry> HistoryStore::entries() const
{
    std::vector<HistoryEntry> out;
    if (!db_)
        return out;
    error_.clear();
    const QByteArray sql = QByteArray("SELECT ") + EntryColumns + " FROM charge ORDER BY started, id";
    Statement s(db_, sql.constData());
    while (s.step() == SQLITE_ROW)
        out.push_back(readEntry(s));
    if (s.code() != SQLITE_DONE)
        fail(s.code(), "чтение");
    return out;
}

std::optional<HistoryEntry> HistoryStore::entry(qint64 id) const
{
    if (!db_)
        return std::nullopt;
    const QByteArray sql = QByteArray("SELECT ") + EntryColumns + " FROM charge WHERE id = ?1";
    Statement s(db_, sql.constData());
    s.bind(1, id);
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    return readEntry(s);
}

QStringList HistoryStore::lines(qint64 id) const
{
    QStringList out;
    if (!db_)
        return out;
    Statement s(db_, "SELECT data FROM charge_lines WHERE charge_id = ?1 ORDER BY piece");
    s.bind(1, id);
    while (s.step() == SQLITE_ROW)
        out += QString::fromUtf8(qUncompress(s.blob(0))).split(QLatin1Char('\n'));
    return out;
}

QStringList HistoryStore::labels() const
{
    QStringList out;
    if (!db_)
        return out;
    Statement s(db_, "SELECT label FROM charge WHERE label <> '' GROUP BY label ORDER BY MAX(started) DESC");
    while (s.step() == SQLITE_ROW)
        out << s.text(0);
    return out;
}

namespace {
// When a process began, from its /proc stat: field 22, counted after the
// command's closing parenthesis (the command itself may hold blanks).
// Empty when the process is gone.
QString startTimeOf(const QString &statPath)
{
    QFile stat(statPath);
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? QString::fromLatin1(fields[19]) : QString();
}
} // namespace

QString processOwner()
{
    return QStringLiteral("%1:%2").arg(getpid()).arg(startTimeOf(QStringLiteral("/proc/self/stat")));
}

bool ownerAlive(const QString &owner)
{
    const qsizetype colon = owner.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    const QString since = startTimeOf(QStringLiteral("/proc/%1/stat").arg(owner.left(colon)));
    return !since.isEmpty() && since == owner.mid(colon + 1);
}
