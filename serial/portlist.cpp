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
        throw EComPort(23, ENOENT);
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
