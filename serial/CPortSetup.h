#pragma once

// The port setup dialog.

#include "serial/CPortCtl.h"
#include "serial/portlist.h"

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QLabel;
class QPushButton;

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

// The setup dialog for `port`; OK writes the chosen values to the port at
// once.
void ShowPortSetup(TCustomComPort &port);
