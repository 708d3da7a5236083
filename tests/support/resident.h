#pragma once

// The process's resident memory, for the benchmarks' memory figures.

#include <QByteArray>
#include <QFile>

// In kilobytes, from /proc/self/status; -1 where it cannot be read.
inline long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
