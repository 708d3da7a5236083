#include "history/historywriter.h"

HistoryWriter::HistoryWriter(const QString &path, QObject *parent)
    : QObject(parent)
{
    thread_ = std::thread([this, path] { run(path); });
}

HistoryWriter::~HistoryWriter()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void HistoryWriter::post(Job job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        ++posted_;
    }
    wake_.notify_one();
}

void HistoryWriter::flush()
{
    std::unique_lock lock(mutex_);
    const quint64 target = posted_;
    done_.wait(lock, [&] { return finished_ >= target; });
}

void HistoryWriter::run(QString path)
{
    // Opened at the first batch, so a failure to open is told to whoever
    // connected since this object was made.
    HistoryStore store;
    bool failing = false;
    QString told;
    std::chrono::steady_clock::time_point goodSince;
    for (;;) {
        std::deque<Job> batch;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            batch.swap(jobs_);
        }
        // A database that could not be opened (a disk not mounted yet) is
        // tried again at every batch.
        bool ok = store.isOpen() || store.open(path);
        QString why = ok ? QString() : store.error();
        if (ok) {
            // Each job undoes only itself when it fails: a charge that
            // cannot be written does not take a label's change with it.
            bool open = store.begin();
            for (Job &job : batch) {
                if (!open && !(open = store.begin())) {
                    ok = false;
                    why = why.isEmpty() ? store.error() : why;
                    continue;
                }
                const bool saved = store.execute("SAVEPOINT job");
                if (saved && job(store)) {
                    store.execute("RELEASE job");
                    continue;
                }
                ok = false;
                why = why.isEmpty() ? store.error() : why;
                // A full disk may have undone the whole transaction already.
                if (store.inTransaction())
                    store.execute("ROLLBACK TO job; RELEASE job");
                else
                    open = false;
            }
            if (open && !store.commit()) {
                ok = false;
                why = why.isEmpty() ? store.error() : why;
                store.rollback();
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (ok) {
            if (failing)
                goodSince = now;
            failing = false;
        } else if (!failing) {
            failing = true;
            if (why != told || now - goodSince >= retellAfter_) {
                told = why;
                emit failed(why);
            }
        }
        {
            std::lock_guard lock(mutex_);
            finished_ += batch.size();
        }
        done_.notify_all();
    }
}
