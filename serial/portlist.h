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
