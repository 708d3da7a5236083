#pragma once

// The event thread of an open port: it waits for line events of the device
// and hands each set of events to the GUI thread. A hand-over does not wait
// for the GUI thread to run it: the thread goes back to its wait at once, and
// only the next hand-over (or the thread's end) waits until the last one has
// run. Deliveries stay one at a time and in order, and a line with one burst
// a second costs the thread one wake-up a burst, not two.

#include "serial/CPort.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class ComDevice;

class TComThread
{
public:
    TComThread(TCustomComPort *port, std::shared_ptr<ComDevice> device, TComEvents events,
               TSyncMethod sync, unsigned generation);
    ~TComThread();
    TComThread(const TComThread &) = delete;
    TComThread &operator=(const TComThread &) = delete;

    // Signals the stop and waits until the thread has ended, running on the
    // calling (GUI) thread any delivery the thread has already handed over.
    // Called from inside such a delivery it cannot wait for the thread (the
    // thread waits for the delivery), so the join happens when the delivery
    // returns.
    void stop();

    // GUI thread: runs the handed-over delivery, if one is waiting.
    void serveHandOver();
    // Whether the last stop() had to leave the join for later.
    bool joinPending() const { return joinPending_; }

private:
    void body();
    void loop(bool *lost);
    void deliver(TComEvents events);
    void handOver(std::function<void()> job);
    // Waits until the delivery handed over last has run; an error it raised
    // ends the thread from here.
    void awaitHandedOver();

    TCustomComPort *port_;
    std::shared_ptr<ComDevice> device_;
    TComEvents events_;
    TSyncMethod sync_;
    unsigned generation_;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopRequested_ = false;
    bool ended_ = false;
    std::function<void()> job_;
    bool jobDone_ = true; // no delivery is waiting to be run
    std::exception_ptr jobError_;
    int serving_ = 0;       // GUI thread: depth of deliveries being run
    bool joinPending_ = false;

    // Modem lines as last seen, to report changes.
    unsigned lines_ = 0;
    bool above80_ = false;
};
