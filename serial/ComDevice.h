#pragma once

// The device layer of the port: one open tty over termios and ioctl. The
// port object calls it from the GUI thread, the event thread for its wait;
// everything both threads touch is guarded here.
//
// Received bytes are moved by this layer from the kernel into its own input
// queue. That gives the port the driver behaviour it is written for: a
// received-characters event only for new bytes (not again and again for
// bytes nobody has read yet), NUL bytes dropped when asked, the event
// character noticed, and a queue size that means something.

#include "serial/EComPort.h"
#include "serial/lineconfig.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>

struct termios;

// Modem status bits as the port reports them.
enum : unsigned { msCTS = 0x10, msDSR = 0x20, msRing = 0x40, msRLSD = 0x80 };
// Driver error flags as the port decodes them.
enum : unsigned {
    ceRxOverFlag = 0x0001, ceOverrunFlag = 0x0002, ceParityFlag = 0x0004, ceFrameFlag = 0x0008,
    ceBreakFlag = 0x0010, ceTxFullFlag = 0x0100, ceIOFlag = 0x0400, ceModeFlag = 0x8000
};

class ComDevice
{
public:
    // Opens the device exclusively; throws EComPort code 1 with errno.
    explicit ComDevice(const QString &path);
    ~ComDevice();
    ComDevice(const ComDevice &) = delete;
    ComDevice &operator=(const ComDevice &) = delete;

    int fd() const { return fd_; }

    // Each returns 0 or an errno.
    int applyLine(const LineConfig &config);
    int applyTimeouts(const TimeoutConfig &config);
    int applyBufferSizes(int inputSize, int outputSize);
    int purge(bool abortTransfers, bool clearQueues);

    struct ReadResult { int count; int error; };
    ReadResult read(char *buffer, int count);
    ReadResult write(const char *buffer, int count);

    // Bytes waiting (after moving what the kernel holds into the queue).
    int queued(int *error);
    // Modem lines as ms* bits; a device without modem lines reports none.
    int modemStatus(unsigned *bits);
    // Error flags gathered since the last call, then cleared.
    unsigned takeErrors();

    // Releases the exclusive claim early, so the device can be opened again
    // while a retiring event thread still holds this object.
    void releaseClaim();

    // --- used by the event thread ---
    struct Fill
    {
        int appended = 0;
        bool eventChar = false;
        bool hangup = false;
    };
    // Moves what the kernel holds into the queue, as far as it has room.
    Fill fill();
    bool queueFull();
    int queueSize();
    int capacity();
    // True once since new bytes were queued (by either thread).
    bool takeRxArrived() { return rxArrived_.exchange(false); }
    // True once since the output queue drained after a write.
    bool takeTxEmpty();
    bool txPending() const { return txPending_.load(); }
    // New error flags and breaks since the last look, for the event wait.
    unsigned pollErrorCounters(bool *breakSeen);
    bool hasErrorCounters() const { return hasIcount_; }
    bool hasModemLines() const { return hasModemLines_; }

    // Wakes the event thread's wait (new bytes queued by a read, a write
    // started, or a stop).
    void wake();
    void drainWake();
    int wakeFd() const { return wakeFd_; }

private:
    Fill fillLocked();
    unsigned pollErrorCountersLocked(bool *breakSeen);

    int fd_ = -1;
    int wakeFd_ = -1;
    std::mutex mutex_;
    std::deque<char> queue_;
    int capacity_ = 1024;
    LineConfig line_;
    TimeoutConfig timeouts_;
    unsigned errorFlags_ = 0;
    std::atomic<bool> hasIcount_{true};
    std::atomic<bool> hasModemLines_{true};
    int icount_[5] = {}; // frame, overrun, parity, brk, buf_overrun
    std::atomic<bool> rxArrived_{false};
    std::atomic<bool> txPending_{false};
};

// The termios settings for a line configuration, on top of `t` (raw mode;
// the speed as a B constant, B38400 standing in for rates that need termios2).
void buildTermios(termios &t, const LineConfig &config);

// Custom rates through termios2 (ComDevice_termios2.cpp).
int setCustomBaud(int fd, int rate);
int currentBaud(int fd, int *rate);
