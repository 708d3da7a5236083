#include "tests/support/pty.h"

#include "serial/ComDevice.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        qFatal("cannot create a pseudo-terminal");
    char name[128];
    ptsname_r(master_, name, sizeof name);
    slavePath_ = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    if (master_ >= 0)
        ::close(master_);
}

void Pty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done,
                                  static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            qFatal("write to pty master failed");
    }
}

QByteArray Pty::read(int atLeast, int ms)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (out.size() < atLeast && t.elapsed() < ms) {
        pollfd p {master_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                out.append(buf, n);
        }
    }
    return out;
}

termios Pty::slaveSettings() const
{
    termios t {};
    // On a pty master the termios calls act on the slave side.
    tcgetattr(master_, &t);
    return t;
}

int Pty::slaveBaud() const
{
    int rate = 0;
    currentBaud(master_, &rate);
    return rate;
}

void Pty::closeMaster()
{
    ::close(master_);
    master_ = -1;
}
