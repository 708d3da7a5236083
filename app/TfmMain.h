#pragma once

#include <QMainWindow>

class QTabWidget;
class QWidget;

// The program's one main window.
class TfmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfmMain(QWidget *parent = nullptr);

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabStatis = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *TabSetup = nullptr;
};
