#pragma once

// The serial ports of the system.

#include <QString>
#include <QStringList>

// Replaces the list's contents with the serial ports of the system, sorted
// without regard to case: the tty devices that have hardware behind them
// (UARTs that answer, USB and ACM adapters, Bluetooth serial links). Raises
// error 23 when the list cannot be read.
void ListSerialPorts(QStringList &list);
// Where the system's tty classes are listed (/sys/class/tty); tests point it
// at a folder of their own; empty restores the real one.
void setSerialDeviceRoot(const QString &root);
// The folder the tty classes are read from.
QString serialDeviceRoot();

// What a listed port is, for people choosing among ports: the USB device
// behind it (from sysfs) and the stable link udev made to it, if any.
struct SerialPortDetails
{
    QString byId; // /dev/serial/by-id/... pointing at the port; survives another USB socket
    QString vendorId, productId, serial;
    QString manufacturer, product;
};
SerialPortDetails describeSerialPort(const QString &name);
// The programs that hold the device at `path` open, as "name (процесс N)",
// as far as the system lets this user see (another user's programs are
// hidden unless run as root).
QStringList portHolders(const QString &path);
// The sysfs folder of the USB device behind a tty, or empty for one with
// none (a UART, a pseudo-terminal).
QString usbDeviceFolder(const QString &ttyName);
// Where the stable links are (/dev/serial/by-id); tests point it elsewhere;
// empty restores the real one.
void setSerialByIdFolder(const QString &folder);
