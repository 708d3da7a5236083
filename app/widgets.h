#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>

// A label that reports double clicks (the counters and the charge clock are
// reset that way).
class TLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// The font colour of a label: the colour labels of the chart keep the curve
// colours this way.
QColor fontColor(const QWidget *w);
void setFontColor(QWidget *w, QColor c);

// A channel log: one text line per event or measurement.
//
// Putting a line into a text document costs its layout, the scroll bar's
// update and a scroll of the view; done per line that is most of the receive
// path's time. So lines are collected and written in batches, at most every
// FlushInterval ms: far below what the eye notices, and the count and every
// read include the pending lines, so nothing can tell the difference.
class LogMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogMemo(QWidget *parent = nullptr);

    static constexpr int FlushInterval = 50;

    // Adds a whole line at the end.
    void addLine(const QString &line);
    int lineCount() const;
    QStringList lines() const;
    QString text() const;
    // Writes the pending lines into the document.
    void flush();

private:
    QStringList pending_;
    QTimer flushTimer_;
};
