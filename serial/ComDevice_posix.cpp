#include "serial/ComDevice.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::uint32_t kMaxDword = 0xFFFFFFFF;
// While a blocking read waits, the event thread may move the awaited bytes
// into the queue; the read looks at the queue again at least this often.
constexpr int kReadSliceMs = 10;

speed_t standardSpeed(int baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0; // 14400, 56000, 128000, 256000 and custom rates
    }
}

tcflag_t dataBitsFlag(int bits)
{
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

// A tty without modem lines (a pseudo-terminal) answers the modem ioctls
// with one of these; that is not a failure of the port.
bool noModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

int setModemLine(int fd, int line, bool on)
{
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0)
        return 0;
    return noModemLines(errno) ? 0 : errno;
}

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

} // namespace

ComDevice::ComDevice(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    fd_ = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw EComPort(ComError::OpenFailed, errno);
    int err = 0;
    if (!isatty(fd_))
        err = ENOTTY;
    // Two programs must never share one port: TIOCEXCL keeps other users
    // out, the lock also keeps out a second open by root (TIOCEXCL does not).
    else if (flock(fd_, LOCK_EX | LOCK_NB) != 0)
        err = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (ioctl(fd_, TIOCEXCL) != 0)
        err = errno;
    else if ((wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) < 0)
        err = errno;
    if (err != 0) {
        ::close(fd_);
        fd_ = -1;
        throw EComPort(ComError::OpenFailed, err);
    }
    bool ignored = false;
    pollErrorCountersLocked(&ignored); // the baseline of the error counters
    errorFlags_ = 0;
}

ComDevice::~ComDevice()
{
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (fd_ >= 0) {
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
}

void ComDevice::releaseClaim()
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) {
        ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
    }
}

void buildTermios(termios &t, const LineConfig &c)
{
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | dataBitsFlag(c.dataBits);
    switch (c.parity) {
    case prNone: break;
    case prOdd: t.c_cflag |= PARENB | PARODD; break;
    case prEven: t.c_cflag |= PARENB; break;
    case prMark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case prSpace: t.c_cflag |= PARENB | CMSPAR; break;
    }
    // termios knows one or two stop bits; 1.5 (only meaningful with five
    // data bits) becomes two.
    if (c.stopBits != sbOneStopBit)
        t.c_cflag |= CSTOPB;
    if (c.outCtsFlow || c.rtsHandshake)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    if (c.parityCheck)
        t.c_iflag |= INPCK; // a byte with a parity error is read as NUL
    if (c.xonXoffOut)
        t.c_iflag |= IXON;
    if (c.xonXoffIn)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(c.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(c.xoffChar);
    // VMIN 1 makes an empty non-blocking read say EAGAIN, so that a read of
    // nothing (0) can only mean the device has hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t speed = standardSpeed(c.baud);
    cfsetispeed(&t, speed ? speed : B38400);
    cfsetospeed(&t, speed ? speed : B38400);
}

int ComDevice::applyLine(const LineConfig &c)
{
    termios t {};
    if (tcgetattr(fd_, &t) != 0)
        return errno;
    buildTermios(t, c);
    const speed_t speed = standardSpeed(c.baud);
    // A pseudo-terminal is always 8 bits without parity; glibc reports other
    // requests on it as EINVAL, which the port raises as error 7.
    if (tcsetattr(fd_, TCSANOW, &t) != 0)
        return errno;
    if (!speed) {
        if (c.baud <= 0)
            return EINVAL;
        if (int err = setCustomBaud(fd_, c.baud))
            return err;
    }
    if (int err = setModemLine(fd_, TIOCM_DTR, c.dtr != dtrDisable))
        return err;
    if (!(c.outCtsFlow || c.rtsHandshake)) {
        if (int err = setModemLine(fd_, TIOCM_RTS, c.rts == rtsEnable))
            return err;
    }
    std::lock_guard lock(mutex_);
    line_ = c;
    return 0;
}

int ComDevice::applyTimeouts(const TimeoutConfig &config)
{
    std::lock_guard lock(mutex_);
    timeouts_ = config;
    return fd_ < 0 ? EBADF : 0;
}

int ComDevice::applyBufferSizes(int inputSize, int outputSize)
{
    // The kernel's queues have fixed sizes; the input size bounds our own
    // queue. The output size has no equivalent.
    if (inputSize <= 0 || outputSize < 0)
        return EINVAL;
    std::lock_guard lock(mutex_);
    capacity_ = inputSize;
    return fd_ < 0 ? EBADF : 0;
}

int ComDevice::purge(bool abortTransfers, bool clearQueues)
{
    // Transfers here are not left pending, so there is nothing to abort.
    (void)abortTransfers;
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        return EBADF;
    if (clearQueues) {
        queue_.clear();
        if (tcflush(fd_, TCIOFLUSH) != 0)
            return errno;
    }
    return 0;
}

ComDevice::Fill ComDevice::fill()
{
    std::lock_guard lock(mutex_);
    return fillLocked();
}

ComDevice::Fill ComDevice::fillLocked()
{
    Fill f;
    char chunk[4096];
    while (static_cast<int>(queue_.size()) < capacity_) {
        const int room = std::min<int>(capacity_ - static_cast<int>(queue_.size()), sizeof chunk);
        const ssize_t n = ::read(fd_, chunk, static_cast<size_t>(room));
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                const char b = chunk[i];
                if (b == line_.eventChar)
                    f.eventChar = true;
                if (b == 0 && line_.discardNull)
                    continue;
                queue_.push_back(b);
                ++f.appended;
            }
            if (n < room)
                break;
        } else if (n == 0) {
            f.hangup = true;
            break;
        } else if (errno == EINTR) {
            continue;
        } else {
            f.hangup = errno != EAGAIN;
            break;
        }
    }
    if (f.appended > 0)
        rxArrived_ = true;
    return f;
}

bool ComDevice::queueFull()
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size()) >= capacity_;
}

int ComDevice::queueSize()
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size());
}

int ComDevice::capacity()
{
    std::lock_guard lock(mutex_);
    return capacity_;
}

ComDevice::ReadResult ComDevice::read(char *buffer, int count)
{
    if (fd_ < 0)
        return {0, EBADF};
    if (count <= 0)
        return {0, 0};
    TimeoutConfig to;
    {
        std::lock_guard lock(mutex_);
        to = timeouts_;
    }
    // The meaning of the timeouts follows the driver interface the port was
    // written for: interval "all bits set" with no totals returns at once
    // with what is waiting; with the multiplier also all bits set it waits up
    // to the constant for a first byte; all zero waits for every byte.
    const bool immediate = to.readInterval == kMaxDword && to.readMultiplier == 0
        && to.readConstant == 0;
    const bool firstByte = to.readInterval == kMaxDword && to.readMultiplier == kMaxDword
        && to.readConstant > 0 && to.readConstant < kMaxDword;
    const std::uint64_t total = firstByte
        ? to.readConstant
        : std::uint64_t(to.readMultiplier) * std::uint64_t(count) + to.readConstant;
    const bool hasTotal = firstByte || total > 0;
    const bool hasInterval = !immediate && to.readInterval != 0 && to.readInterval != kMaxDword;
    const auto start = SteadyClock::now();
    const auto deadline = start + std::chrono::milliseconds(hasTotal ? total : 0);
    auto lastByte = start;

    int got = 0;
    bool woke = false;
    for (;;) {
        Fill f;
        int took = 0;
        {
            std::lock_guard lock(mutex_);
            f = fillLocked();
            took = std::min<int>(count - got, static_cast<int>(queue_.size()));
            std::copy_n(queue_.begin(), took, buffer + got);
            queue_.erase(queue_.begin(), queue_.begin() + took);
        }
        woke = woke || f.appended > 0;
        if (took > 0) {
            got += took;
            lastByte = SteadyClock::now();
        }
        if (got == count || immediate || (firstByte && got > 0))
            break;
        if (f.hangup) {
            if (got == 0) {
                if (woke)
                    wake();
                return {0, EIO};
            }
            break;
        }
        int waitMs = hasTotal ? remainingMs(deadline) : kReadSliceMs;
        if (hasInterval && got > 0)
            waitMs = std::min(waitMs,
                              remainingMs(lastByte + std::chrono::milliseconds(to.readInterval)));
        if (waitMs <= 0)
            break;
        pollfd p {fd_, POLLIN, 0};
        ::poll(&p, 1, std::min(waitMs, kReadSliceMs));
    }
    if (woke)
        wake(); // the event thread reports the bytes this read moved
    return {got, 0};
}

ComDevice::ReadResult ComDevice::write(const char *buffer, int count)
{
    if (fd_ < 0)
        return {0, EBADF};
    TimeoutConfig to;
    {
        std::lock_guard lock(mutex_);
        to = timeouts_;
    }
    const std::uint64_t total =
        std::uint64_t(to.writeMultiplier) * std::uint64_t(std::max(count, 0)) + to.writeConstant;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(total);
    txPending_ = true;
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            const int err = errno;
            wake();
            return {done, err};
        }
        const int waitMs = total > 0 ? remainingMs(deadline) : -1;
        if (waitMs == 0)
            break; // the write timed out: report what went out
        pollfd p {fd_, POLLOUT, 0};
        if (::poll(&p, 1, waitMs) < 0 && errno != EINTR) {
            const int err = errno;
            wake();
            return {done, err};
        }
    }
    wake();
    return {done, 0};
}

bool ComDevice::takeTxEmpty()
{
    if (!txPending_)
        return false;
    int pending = 0;
    if (ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0)
        return false;
    txPending_ = false;
    return true;
}

int ComDevice::queued(int *error)
{
    std::lock_guard lock(mutex_);
    *error = fd_ < 0 ? EBADF : 0;
    if (fd_ < 0)
        return 0;
    if (fillLocked().appended > 0)
        wake(); // the event thread reports the bytes moved here
    bool ignored = false;
    pollErrorCountersLocked(&ignored);
    errorFlags_ = 0;
    return static_cast<int>(queue_.size());
}

int ComDevice::modemStatus(unsigned *bits)
{
    *bits = 0;
    if (fd_ < 0)
        return EBADF;
    if (!hasModemLines_)
        return 0;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
        if (noModemLines(errno)) {
            hasModemLines_ = false;
            return 0;
        }
        return errno;
    }
    if (lines & TIOCM_CTS)
        *bits |= msCTS;
    if (lines & TIOCM_DSR)
        *bits |= msDSR;
    if (lines & TIOCM_RNG)
        *bits |= msRing;
    if (lines & TIOCM_CAR)
        *bits |= msRLSD;
    return 0;
}

unsigned ComDevice::takeErrors()
{
    std::lock_guard lock(mutex_);
    bool ignored = false;
    pollErrorCountersLocked(&ignored);
    const unsigned flags = errorFlags_;
    errorFlags_ = 0;
    return flags;
}

unsigned ComDevice::pollErrorCounters(bool *breakSeen)
{
    std::lock_guard lock(mutex_);
    return pollErrorCountersLocked(breakSeen);
}

unsigned ComDevice::pollErrorCountersLocked(bool *breakSeen)
{
    *breakSeen = false;
    if (!hasIcount_ || fd_ < 0)
        return 0;
    serial_icounter_struct ic {};
    if (ioctl(fd_, TIOCGICOUNT, &ic) != 0) {
        hasIcount_ = false; // no error counters on this device
        return 0;
    }
    const int now[5] = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
    static constexpr unsigned flag[5] = {ceFrameFlag, ceOverrunFlag, ceParityFlag, ceBreakFlag,
                                         ceRxOverFlag};
    unsigned fresh = 0;
    for (int i = 0; i < 5; ++i) {
        if (now[i] != icount_[i])
            fresh |= flag[i];
        icount_[i] = now[i];
    }
    *breakSeen = fresh & ceBreakFlag;
    errorFlags_ |= fresh;
    return fresh;
}

void ComDevice::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void ComDevice::drainWake()
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &value, sizeof value);
}
