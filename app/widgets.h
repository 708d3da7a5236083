#pragma once

#include "platform/named.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>

#include <functional>

// A label that reports clicks (the chart's colour labels) and double clicks
// (the counters and the charge clock are reset that way).
class TLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool pressed_ = false;
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

// A channel log: one text line per event or measurement.
//
// Putting a line into a text document costs its layout, the scroll bar's
// update and a scroll of the view; done per line that is most of the receive
// path's time. So lines are collected and written in batches, at most every
// FlushInterval ms: ten redraws a second keep a fast log moving smoothly (a
// redraw of the log and its scroll bars is what a busy line costs most), and
// the count and every read include the pending lines, so nothing can tell
// the difference.
class LogMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogMemo(QWidget *parent = nullptr);

    static constexpr int FlushInterval = 100;

    // Adds a whole line at the end.
    void addLine(const QString &line);
    int lineCount() const;
    QStringList lines() const;
    QString text() const;
    // Writes the pending lines into the document.
    void flush();
    bool hasPending() const { return !pending_.isEmpty(); }
    // Off: lines wait for flush() from outside (a window that writes several
    // logs in one pass of the screen); reading the log flushes all the same.
    void setFlushTimer(bool own) { ownFlushTimer_ = own; }
    // Whether lines came since the log was last saved or opened; pending
    // lines count, so a line that just came is never lost by closing.
    bool isModified() const;
    void setModified(bool modified);
    // Replaces the whole text (nothing pending is kept).
    void setLines(const QStringList &lines);
    void clear();
    // Replaces the text with a document made by fillLogs from `lines`
    // lines.
    void setText(QTextDocument *text, qsizetype lines);

signals:
    // The user changed the text: typed, pasted, cut or deleted.
    void editedByHand();
    // The text changed otherwise than by addLine: replaced, cleared or
    // edited by hand. What was read from it must be read again.
    void rewritten();

private:
    // An empty document is either no line or one empty line; which one, it
    // cannot tell. A saved file of empty logs opens as one empty line, and
    // the next block after it must still get its blank separator.
    bool holdsNoLine() const { return noLine_ && document()->isEmpty(); }

    QStringList pending_;
    bool noLine_ = true;   // the empty document holds no line
    bool ownEdit_ = false; // the text changes by the log's own hand
    QTimer flushTimer_;
    bool ownFlushTimer_ = true;
};

// Puts whole texts into logs at once. A text document costs some two
// microseconds a line to build, half a second for the two logs of a day;
// so the documents of long logs are built on threads of their own, both
// at once, while `meanwhile` runs here, and then put in place. Nothing
// else runs on the window's thread in between. The lines are let go of
// before the documents are put in place: a caller that lets go of its own
// copies in `meanwhile` keeps a day's lines from lingering in the heap.
struct LogFill
{
    LogMemo *memo;
    QStringList lines;
};
void fillLogs(QList<LogFill> logs, const std::function<void()> &meanwhile = {});
