#pragma once

// The small windows opened from the menus: the charge-time dialog, About
// and Help. Each is created for one showing and released afterwards.

#include <QDialog>

class ChargeClock;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Tells the program how long the charge has already run.
class TfTimeSet : public QDialog
{
    Q_OBJECT

public:
    // The clock starts from the time asked for; `startLabel` shows when.
    TfTimeSet(QWidget *parent, ChargeClock &clock, QLabel *startLabel);

    QLabel *Label1;
    QLineEdit *Edit1, *Edit2, *Edit3;
    QPushButton *Button1;

    void Edit1Exit(QLineEdit *field);
    void Button1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ChargeClock &clock_;
    QLabel *startLabel_;
    bool checking_ = false;
};

class TfAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TfAbout(QWidget *parent);

    QLabel *Label1, *Label2, *Label3;
    void Label2Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void hover(bool on);
};

class TfHelp : public QDialog
{
    Q_OBJECT

public:
    explicit TfHelp(QWidget *parent);

    QPlainTextEdit *Memo1;
};
