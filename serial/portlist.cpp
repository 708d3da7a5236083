#include "serial/portlist.h"

#include "serial/EComPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace {

QString &deviceRoot()
{
    static QString root;
    return root;
}

QString &byIdFolder()
{
    static QString folder;
    return folder;
}

QString readLine(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readLine()).trimmed() : QString();
}

} // namespace

void setSerialDeviceRoot(const QString &root)
{
    deviceRoot() = root;
}

QString serialDeviceRoot()
{
    return deviceRoot().isEmpty() ? QStringLiteral("/sys/class/tty") : deviceRoot();
}

void ListSerialPorts(QStringList &list)
{
    const QDir root(serialDeviceRoot());
    if (!root.exists())
        throw EComPort(ComError::PortList, ENOENT);
    QStringList ports;
    for (const QString &name : root.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString device = root.filePath(name + QStringLiteral("/device"));
        // Consoles and pseudo-terminals have no device behind them; Bluetooth
        // serial links (rfcomm) are virtual too but are real ports.
        if (!QFileInfo::exists(device) && !name.startsWith(QLatin1String("rfcomm")))
            continue;
        // Serial-core drivers (8250 and the like) register every legacy port
        // they might find; one that answered nothing has the port type 0.
        QFile type(root.filePath(name + QStringLiteral("/type")));
        if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
            continue;
        ports << name;
    }
    std::sort(ports.begin(), ports.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    list = ports;
}

void setSerialByIdFolder(const QString &folder)
{
    byIdFolder() = folder;
}

QString usbDeviceFolder(const QString &ttyName)
{
    // The USB device is the first folder above the tty's device that has a
    // vendor id (the interface sits between them).
    QString at = QFileInfo(QDir(serialDeviceRoot()).filePath(ttyName + QStringLiteral("/device")))
                     .canonicalFilePath();
    for (int up = 0; up < 5 && !at.isEmpty() && at != QLatin1String("/"); ++up) {
        if (QFileInfo::exists(at + QStringLiteral("/idVendor")))
            return at;
        at = QFileInfo(at).absolutePath();
    }
    return {};
}

SerialPortDetails describeSerialPort(const QString &name)
{
    SerialPortDetails d;
    const QString usb = usbDeviceFolder(name);
    if (!usb.isEmpty()) {
        d.vendorId = readLine(usb + QStringLiteral("/idVendor"));
        d.productId = readLine(usb + QStringLiteral("/idProduct"));
        d.serial = readLine(usb + QStringLiteral("/serial"));
        d.manufacturer = readLine(usb + QStringLiteral("/manufacturer"));
        d.product = readLine(usb + QStringLiteral("/product"));
    }
    const QDir byId(byIdFolder().isEmpty() ? QStringLiteral("/dev/serial/by-id") : byIdFolder());
    for (const QFileInfo &link : byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        if (link.isSymLink() && QFileInfo(link.symLinkTarget()).fileName() == name) {
            d.byId = link.absoluteFilePath();
            break;
        }
    }
    return d;
}

QStringList portHolders(const QString &path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    QStringList holders;
    if (device.isEmpty())
        return holders;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        pid.toInt(&number);
        if (!number)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString &fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() != device)
                continue;
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                                                : QStringLiteral("?");
            holders << QStringLiteral("%1 (процесс %2)").arg(name, pid);
            break;
        }
    }
    return holders;
}
