#pragma once

// Writes the history on a thread of its own, so a busy disk or another
// program holding the database never stalls the window: the window posts
// jobs and goes on. Jobs run in order, those waiting run together in one
// transaction.

#include "history/historystore.h"

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class HistoryWriter : public QObject
{
    Q_OBJECT

public:
    // A job writes through the store; false when it failed (the store's
    // error() says why), and the transaction it is part of is undone.
    using Job = std::function<bool(HistoryStore &)>;

    // Writes to the database at `path`, opened on the writer's thread when
    // the first jobs come.
    explicit HistoryWriter(const QString &path, QObject *parent = nullptr);
    ~HistoryWriter() override; // writes what is posted, then stops

    // Never waits.
    void post(Job job);
    // Returns once every job posted so far has run.
    void flush();

    // A disk nearly full takes the small writes and refuses the larger ones,
    // so writing may fail, go well and fail again every few seconds: the
    // same trouble is told again only after writing went well this long.
    static constexpr std::chrono::milliseconds RetellAfter{60000};
    // Set before the first job is posted (tests tell every failure).
    void setRetellAfter(std::chrono::milliseconds quiet) { retellAfter_ = quiet; }

signals:
    // Writing failed where it went well before (or opening failed); said
    // once, and again only for another trouble or after writing went well
    // for RetellAfter. Emitted on the writer's thread.
    void failed(const QString &message);

private:
    void run(QString path);

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Job> jobs_;
    quint64 posted_ = 0, finished_ = 0;
    bool stop_ = false;
    std::chrono::milliseconds retellAfter_ = RetellAfter;
};
