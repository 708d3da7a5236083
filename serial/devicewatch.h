#pragma once

// Who a serial device is, so that a port whose adapter was pulled is opened
// again only when that same adapter is back.

#include <QString>

struct DeviceIdentity
{
    QString path; // as the port names it (a /dev/serial/by-id link stays one)
    // "vendor:product:serial" of the USB device behind the tty, from sysfs;
    // empty for a port without one (a UART, a pseudo-terminal).
    QString usb;
};

// The identity of the device at `path` now (while it is there).
DeviceIdentity identifyDevice(const QString &path);

// Whether the device `lost` is back: its path exists again and, where it
// had a USB identity, the device there now has the same one (never another
// adapter that took the name).
bool deviceIsBack(const DeviceIdentity &lost);
