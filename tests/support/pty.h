#pragma once

#include <QByteArray>
#include <QString>

struct termios;

// The far end of a serial line: a pseudo-terminal whose slave side the port
// under test opens and whose master side the test writes and reads.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    QString slavePath() const { return slavePath_; }
    int master() const { return master_; }

    void write(const QByteArray &bytes);
    // Reads what has arrived, waiting up to `ms` for `atLeast` bytes.
    QByteArray read(int atLeast, int ms = 5000);
    // The line settings the port put on the slave side.
    termios slaveSettings() const;
    int slaveBaud() const;
    // Unplugs the line: the port sees the device gone.
    void closeMaster();

private:
    int master_ = -1;
    QString slavePath_;
};
