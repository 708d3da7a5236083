#include "platform/desktopservices.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace {

// A call on a bus that never connected is never answered (Qt hands back a
// call with nothing behind it), so such a bus is told apart before calling.
QString noBusReason(const QDBusConnection &bus)
{
    const QString why = bus.lastError().message();
    return why.isEmpty() ? QStringLiteral("нет связи с шиной D-Bus")
                         : QStringLiteral("нет связи с шиной D-Bus (%1)").arg(why);
}

} // namespace

DesktopNotices::DesktopNotices(const QDBusConnection &bus, QObject *parent) : QObject(parent), bus_(bus)
{
}

void DesktopNotices::notify(const QString &title, const QString &body, Kind kind)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const bool trouble = kind == Kind::Trouble;
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("ostrel")},
        {QStringLiteral("sound-name"), trouble ? QStringLiteral("dialog-warning") : QStringLiteral("complete")},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(trouble ? 2 : 1))},
    };
    call << QStringLiteral("Ostrel") << 0u << QStringLiteral("ostrel") << title << body << QStringList() << hints
         << -1;
    if (!bus_.isConnected()) {
        if (!std::exchange(reported_, true))
            emit unavailable(noBusReason(bus_));
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError() && !std::exchange(reported_, true))
            emit unavailable(w->error().message());
    });
}

SleepInhibitor::SleepInhibitor(const QDBusConnection &bus, QString who, QString why, QObject *parent)
    : QObject(parent), bus_(bus), who_(std::move(who)), why_(std::move(why))
{
}

void SleepInhibitor::hold()
{
    wanted_ = true;
    if (isHeld() || asking_)
        return;
    if (!bus_.isConnected()) {
        if (!std::exchange(reported_, true))
            emit unavailable(noBusReason(bus_));
        return;
    }
    asking_ = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << who_ << why_ << QStringLiteral("block");
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError()) {
            if (!std::exchange(reported_, true))
                emit unavailable(reply.error().message());
            return;
        }
        // Released while the answer was on its way: the descriptor goes
        // out of scope here, and with it the lock.
        if (!wanted_ || !reply.value().isValid())
            return;
        lock_ = reply.value();
        emit heldChanged(true);
    });
}

void SleepInhibitor::release()
{
    wanted_ = false;
    if (!isHeld())
        return;
    lock_ = QDBusUnixFileDescriptor(); // the last copy closed ends the lock
    emit heldChanged(false);
}
