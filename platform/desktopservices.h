#pragma once

// The two desktop services a charge left alone needs: a notice when
// something happens, and the computer kept awake meanwhile. Both talk D-Bus
// asynchronously (a missing or slow service never stalls the window) on a
// bus given to them, so tests use a private bus with fake services.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

// org.freedesktop.Notifications on the session bus.
class DesktopNotices : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotices(const QDBusConnection &bus, QObject *parent = nullptr);

    enum class Kind { Finished, Trouble };
    // The icon is the program's; the sound hint and the urgency follow the kind.
    void notify(const QString &title, const QString &body, Kind kind);

signals:
    // The first time a notice could not be delivered, with the bus's reason.
    void unavailable(const QString &reason);

private:
    QDBusConnection bus_;
    bool reported_ = false;
};

// A systemd-logind inhibitor lock ("sleep:idle", mode "block") on the system
// bus: held while the descriptor logind handed out stays open.
class SleepInhibitor : public QObject
{
    Q_OBJECT

public:
    SleepInhibitor(const QDBusConnection &bus, QString who, QString why, QObject *parent = nullptr);

    // Asks for the lock unless it is held or asked for already.
    void hold();
    void release();
    bool isHeld() const { return lock_.isValid(); }

signals:
    void heldChanged(bool held);
    // The first time the lock could not be had, with the bus's reason.
    void unavailable(const QString &reason);

private:
    QDBusConnection bus_;
    QString who_, why_;
    QDBusUnixFileDescriptor lock_;
    bool wanted_ = false;
    bool asking_ = false;
    bool reported_ = false;
};
