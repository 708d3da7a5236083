#include "serial/devicewatch.h"

#include "serial/portlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString readLine(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readLine()).trimmed() : QString();
}

// The USB device is the first folder above the tty's device that has a
// vendor id (the interface sits between them).
QString usbIdentity(const QString &ttyName)
{
    QString at = QFileInfo(QDir(serialDeviceRoot()).filePath(ttyName + QStringLiteral("/device")))
                     .canonicalFilePath();
    for (int up = 0; up < 5 && !at.isEmpty(); ++up) {
        const QString vendor = readLine(at + QStringLiteral("/idVendor"));
        if (!vendor.isEmpty())
            return vendor + QLatin1Char(':') + readLine(at + QStringLiteral("/idProduct"))
                + QLatin1Char(':') + readLine(at + QStringLiteral("/serial"));
        at = QFileInfo(at).absolutePath();
    }
    return {};
}

} // namespace

DeviceIdentity identifyDevice(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    return {path, target.isEmpty() ? QString() : usbIdentity(QFileInfo(target).fileName())};
}

bool deviceIsBack(const DeviceIdentity &lost)
{
    if (!QFileInfo::exists(lost.path))
        return false;
    return lost.usb.isEmpty() || identifyDevice(lost.path).usb == lost.usb;
}
