#include "serial/devicewatch.h"

#include "serial/portlist.h"

#include <QFileInfo>

namespace {

QString usbIdentity(const QString &ttyName)
{
    const SerialPortDetails d = describeSerialPort(ttyName);
    if (d.vendorId.isEmpty())
        return {};
    return d.vendorId + QLatin1Char(':') + d.productId + QLatin1Char(':') + d.serial;
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
