#include "serial/ComThread.h"

#include "serial/ComDevice.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <utility>

namespace {

// Modem lines and the kernel's error counters give no wake-up of their
// own, so while they are watched the wait looks at them this often.
constexpr int kTickMs = 25;
// After handing received bytes over, the thread lets more gather before it
// looks again, as a USB adapter's latency timer does: a fast stream then
// costs some thirty deliveries a second rather than one per write (each a
// wake-up of both threads), and each delivery still reads everything that
// waits. Thirty milliseconds are far inside the link's own timeouts (a
// reply is awaited 500 ms, a frame 1000 ms) and the kernel's buffer.
constexpr int kPaceMs = 30;
// Bytes after a quiet spell this long (a charger's sample a second, in one
// burst) are a stream's first, or a stream of their own: the thread waits
// for the next bytes at once, rather than waking once more to pause.
constexpr auto kQuietSpell = std::chrono::milliseconds(100);

// The order in which one delivered set is handled (and, for smWindowSync,
// the order of the single-event deliveries).
constexpr TComEvent kHandlingOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                        evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

} // namespace

TComThread::TComThread(TCustomComPort *port, std::shared_ptr<ComDevice> device,
                       TComEvents events, TSyncMethod sync, unsigned generation)
    : port_(port), device_(std::move(device)), events_(events), sync_(sync),
      generation_(generation)
{
    thread_ = std::thread([this] { body(); });
}

TComThread::~TComThread()
{
    if (thread_.joinable())
        stop();
}

void TComThread::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    device_->wake();
    if (serving_ > 0) {
        joinPending_ = true;
        return;
    }
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return ended_ || job_; });
        if (!job_)
            break;
        // The thread handed a delivery over before it saw the stop; it is
        // waiting for it, so run it here or both threads wait forever.
        lock.unlock();
        serveHandOver();
        lock.lock();
    }
    lock.unlock();
    if (thread_.joinable())
        thread_.join();
}

void TComThread::serveHandOver()
{
    std::function<void()> job;
    {
        std::lock_guard lock(mutex_);
        job = std::move(job_);
        job_ = nullptr;
    }
    if (!job)
        return;
    ++serving_;
    std::exception_ptr error;
    try {
        job();
    } catch (...) {
        error = std::current_exception();
    }
    --serving_;
    {
        std::lock_guard lock(mutex_);
        jobError_ = error;
        jobDone_ = true;
    }
    cv_.notify_all();
    if (joinPending_ && serving_ == 0) {
        // The port was closed inside this delivery; now the thread is free
        // to end, so it can be joined.
        joinPending_ = false;
        QMetaObject::invokeMethod(port_, [port = port_] { port->reapRetired(); },
                                  Qt::QueuedConnection);
    }
}

void TComThread::awaitHandedOver()
{
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return jobDone_; });
    if (jobError_)
        std::rethrow_exception(std::exchange(jobError_, nullptr));
}

void TComThread::handOver(std::function<void()> job)
{
    awaitHandedOver();
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
        jobDone_ = false;
    }
    cv_.notify_all(); // a stop() in progress serves it
    QMetaObject::invokeMethod(port_, [port = port_] { port->serveDeliveries(); },
                              Qt::QueuedConnection);
}

void TComThread::deliver(TComEvents events)
{
    switch (sync_) {
    case smThreadSync:
        handOver([this, events] { port_->handleEvents(events); });
        break;
    case smWindowSync:
        for (TComEvent e : kHandlingOrder) {
            if (events.contains(e))
                handOver([this, e] {
                    if (port_->Connected())
                        port_->handleEvents({e});
                });
        }
        break;
    case smNone:
        port_->handleEvents(events);
        break;
    }
}

void TComThread::body()
{
    bool lost = false;
    try {
        loop(&lost);
        // What was handed over last is read before the queue is cleared.
        awaitHandedOver();
        device_->purge(false, true);
        if (lost) {
            // The device is gone (adapter pulled, other end closed). Close the
            // port on the GUI thread so the user sees the link is down
            // instead of a green LED on a dead line.
            QMetaObject::invokeMethod(
                port_, [port = port_, g = generation_] { port->closeAfterDeviceLost(g); },
                Qt::QueuedConnection);
        }
    } catch (...) {
        // An error escaping the handling ends the thread silently; the port
        // stays open until it is closed.
    }
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    cv_.notify_all();
}

void TComThread::loop(bool *lost)
{
    device_->modemStatus(&lines_);
    const bool watchLines = events_.contains(evCTS) || events_.contains(evDSR)
        || events_.contains(evRLSD) || events_.contains(evRing);
    const bool watchErrors = events_.contains(evError) || events_.contains(evBreak);
    std::chrono::steady_clock::time_point lastRx; // the last delivery of received bytes
    for (;;) {
        // A full queue may only wait for the delivery still to be run.
        bool full = device_->queueFull();
        if (full) {
            awaitHandedOver();
            full = device_->queueFull();
        }
        pollfd fds[2] = {{device_->wakeFd(), POLLIN, 0},
                         {device_->fd(), static_cast<short>(full ? 0 : POLLIN), 0}};
        const bool tick = full || device_->txPending()
            || (watchLines && device_->hasModemLines())
            || (watchErrors && device_->hasErrorCounters());
        if (::poll(fds, 2, tick ? kTickMs : -1) < 0) {
            if (errno == EINTR)
                continue;
            return; // a failed wait ends the thread
        }
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_)
                return;
        }
        if (fds[0].revents)
            device_->drainWake();
        // What follows sees the queue as the last delivery left it.
        awaitHandedOver();

        TComEvents found;
        const ComDevice::Fill fill = device_->fill();
        if (device_->takeRxArrived())
            found.insert(evRxChar);
        if (fill.eventChar)
            found.insert(evRxFlag);
        const bool above80 = device_->queueSize() * 5 >= device_->capacity() * 4;
        if (above80 && !above80_)
            found.insert(evRx80Full);
        above80_ = above80;
        if (device_->takeTxEmpty())
            found.insert(evTxEmpty);
        unsigned lines = 0;
        if (watchLines && device_->hasModemLines() && device_->modemStatus(&lines) == 0) {
            const unsigned changed = lines ^ lines_;
            if (changed & msCTS)
                found.insert(evCTS);
            if (changed & msDSR)
                found.insert(evDSR);
            if (changed & msRLSD)
                found.insert(evRLSD);
            if ((lines & msRing) && !(lines_ & msRing))
                found.insert(evRing);
            lines_ = lines;
        }
        bool breakSeen = false;
        if (watchErrors && device_->hasErrorCounters() && device_->pollErrorCounters(&breakSeen))
            found.insert(evError);
        if (breakSeen)
            found.insert(evBreak);

        const TComEvents wanted = TComEvents::fromBits(found.bits() & events_.bits());
        if (!wanted.empty())
            deliver(wanted);
        if (fill.hangup || (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            *lost = true;
            return;
        }
        if (wanted.contains(evRxChar)) {
            const auto now = std::chrono::steady_clock::now();
            const bool streaming = now - lastRx < kQuietSpell;
            lastRx = now;
            if (streaming) {
                // A stop ends the pause at once; the next turn sees it.
                pollfd stop = {device_->wakeFd(), POLLIN, 0};
                ::poll(&stop, 1, kPaceMs);
            }
        }
    }
}
