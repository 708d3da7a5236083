#pragma once

// The port setup dialog and the list of the system's serial ports.

#include "CPortCtl.h"

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QLabel;
class QPushButton;

// Replaces the list's contents with the serial ports of the system, sorted
// without regard to case: the tty devices that have hardware behind them
// (UARTs that answer, USB and ACM adapters, Bluetooth serial links). Raises
// error 23 when the list cannot be read.
void ListSerialPorts(QStringList &list);
// Where the system's tty classes are listed (/sys/class/tty); tests point it
// at a folder of their own; empty restores the real one.
void setSerialDeviceRoot(const QString &root);

class TComSetupFrm : public QDialog
{
    Q_OBJECT

public:
    explicit TComSetupFrm(QWidget *parent = nullptr);

    QGroupBox *GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    TComComboBox *Combo1, *Combo2, *Combo3, *Combo4, *Combo5, *Combo6;
    QPushButton *Button1, *Button2;
};
