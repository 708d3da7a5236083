#pragma once

#include "app/logmemo.h"
#include "platform/named.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QSpinBox>

// A label that reports clicks (the chart's colour labels) and double clicks
// (the counters and the charge clock are reset that way).
class TLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    // A label whose text changes every second or so over a background that
    // does not (a clock, a counter) keeps the pixels drawn under it, as the
    // window holds them, and draws each new text over those alone: not the
    // group box, the page, the tab widget and the window beneath it again.
    // Whatever may change that background (a resize or move, a new palette,
    // style or font, the window (de)activated, a page shown again) makes it
    // take them afresh from the next drawing of what is beneath.
    void setKeepsBackground(bool keep);

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void forgetBackground();
    void watchAncestors();

    bool pressed_ = false;
    bool keepsBackground_ = false;
    QImage background_; // device pixels, as the window's backing store holds them
    QList<QPointer<QWidget>> watched_;
};

// An edit field with its spin button: the position is the parameter's value
// and the field shows it. The field has a name of its own so the settings
// page can be addressed as the charger's tools always named it.
class TUpDown : public QSpinBox
{
    Q_OBJECT

public:
    TUpDown(QWidget *parent, const char *name, const char *editName, int min, int max,
            int position);

    QLineEdit *edit() const { return lineEdit(); }
    int Position() const { return value(); }
    // A value from the charger: outside the range it is clamped, and unless
    // the clamped value stands for the same charger setting (`equivalent`),
    // the field is marked (and says in its hint what came) until the user
    // changes it.
    void setPositionFromDevice(int v, bool equivalent = false);
    bool isMarkedClamped() const { return clamped_; }

private:
    void clearMark();

    bool clamped_ = false;
    QString hint_;
};

// The integer an edit field holds; a text that is none raises the
// conversion error the general error report shows.
int integerOf(const QLineEdit *edit);

// The font colour of a label: the colour labels of the chart keep the curve
// colours this way.
QColor fontColor(const QWidget *w);
void setFontColor(QWidget *w, QColor c);
