#include "tests/support/fakedesktop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PrivateBus::PrivateBus()
{
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address"),
                                                   QStringLiteral("--address=unix:tmpdir=/tmp")});
    if (!daemon_.waitForStarted(5000))
        return;
    while (address_.isEmpty() && daemon_.waitForReadyRead(5000)) {
        if (daemon_.canReadLine())
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
}

PrivateBus::~PrivateBus()
{
    for (const QString &name : names_)
        QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished();
}

QDBusConnection PrivateBus::connect(const QString &name) const
{
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

bool FakeNotifications::serve(QDBusConnection bus)
{
    return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots)
           && bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotifications::Notify(const QString &app, uint, const QString &icon, const QString &summary,
                               const QString &body, const QStringList &, const QVariantMap &hints, int)
{
    received.append({app, icon, summary, body, hints});
    return uint(received.size());
}

FakeLogind::~FakeLogind()
{
    if (readEnd_ >= 0)
        ::close(readEnd_);
}

bool FakeLogind::serve(QDBusConnection bus)
{
    return bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this, QDBusConnection::ExportAllSlots)
           && bus.registerService(QStringLiteral("org.freedesktop.login1"));
}

QDBusUnixFileDescriptor FakeLogind::Inhibit(const QString &w, const QString &by, const QString &reason,
                                            const QString &m)
{
    ++taken;
    what << w;
    who << by;
    why << reason;
    mode << m;
    // As logind does: the lock lasts while the write end of a pipe is open.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    if (readEnd_ >= 0)
        ::close(readEnd_);
    readEnd_ = fds[0];
    QDBusUnixFileDescriptor lock(fds[1]); // takes a copy
    ::close(fds[1]);
    return lock;
}

bool FakeLogind::lockHeld() const
{
    if (readEnd_ < 0)
        return false;
    pollfd p{readEnd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0; // a closed write end shows as a hang-up
}
