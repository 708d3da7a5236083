#pragma once

// A private D-Bus daemon for one test, and fake desktop services on it: the
// notification server and logind's inhibitor, as the program calls them.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    // A new connection to the bus under a name of its own.
    QDBusConnection connect(const QString &name) const;

private:
    QProcess daemon_;
    QString address_;
    mutable QStringList names_;
};

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    // Serves on the connection as org.freedesktop.Notifications.
    bool serve(QDBusConnection bus);

    struct Notice
    {
        QString app, icon, title, body;
        QVariantMap hints;
    };
    QList<Notice> received;

public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout);
    // Answered after every call that came before it on the same connection:
    // a test's barrier.
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override;
    // Serves on the connection as org.freedesktop.login1.
    bool serve(QDBusConnection bus);

    int taken = 0;
    QStringList what, who, why, mode;
    // Whether the last lock handed out is still held by someone.
    bool lockHeld() const;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode);

private:
    int readEnd_ = -1;
};
