#pragma once

#include "charts/linestore.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QTextCursor>
#include <QTimer>

// A channel log: one text line per event or measurement, for hours.
//
// The lines live in a LineStore and only those on the screen are laid out
// and drawn, so a week of lines opens in a blink and costs some fifty bytes
// a line. New lines are shown in batches, at most every FlushInterval ms
// (or when the window's screen pace calls flush()): ten redraws a second
// keep a fast log moving smoothly, and the count and every read include
// the lines not yet shown.
//
// It is an editor too: the user selects with the mouse and the keys, copies,
// types, pastes and deletes, and a screen reader reads it as a text field.
class LogMemo : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit LogMemo(QWidget *parent = nullptr);
    ~LogMemo() override;

    static constexpr int FlushInterval = 100;

    // Adds a whole line at the end.
    void addLine(const QString &line);
    int lineCount() const { return int(store_.size()); }
    QString line(int i) const { return store_.line(i); }
    QStringList lines() const { return store_.lines(); }
    QString text() const { return store_.text(); }
    const LineStore &store() const { return store_; }
    // Shows the lines that came since the last call.
    void flush();
    bool hasPending() const { return unshown_ > 0; }
    // Off: lines wait for flush() from outside (a window that shows several
    // logs in one pass of the screen).
    void setFlushTimer(bool own) { ownFlushTimer_ = own; }
    // Whether lines came or the text was edited since the log was last
    // saved or opened.
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    // Replaces the whole text; the log is then unmodified.
    void setLines(const QStringList &lines);
    void clear() { setLines({}); }

    // The caret and the selection's other end, as a line and a column.
    struct Position
    {
        qsizetype line = 0;
        qsizetype column = 0;
        friend bool operator==(const Position &, const Position &) = default;
        friend auto operator<=>(const Position &, const Position &) = default;
    };
    Position cursorPosition() const { return caret_; }
    Position anchorPosition() const { return anchor_; }
    int cursorLine() const { return int(caret_.line); }
    bool hasSelection() const { return anchor_ != caret_; }
    // Lines joined by '\n', as typed.
    QString selectedText() const;
    void setCursorPosition(Position at, QTextCursor::MoveMode mode = QTextCursor::MoveAnchor);
    void moveCursor(QTextCursor::MoveOperation op, QTextCursor::MoveMode mode = QTextCursor::MoveAnchor);
    void ensureCursorVisible();
    // Offsets into text(), a line break counting one (the accessibility
    // interface speaks in them).
    qsizetype offsetOf(Position at) const;
    Position positionAt(qsizetype offset) const;
    // The position under a point of the viewport (the nearest place
    // between two characters, or the character under it), and the
    // rectangle of a character there.
    Position hitTest(QPoint viewportPoint, bool characterUnder = false) const;
    QRect characterRect(Position at) const;
    // The word at a position (a letter, digit or '_' run), else the one
    // character there: the columns it spans.
    std::pair<qsizetype, qsizetype> wordAround(Position at) const;
    // Replaces the selection by typed or pasted text, as the user does.
    void insertText(const QString &text);

public slots:
    void selectAll();
    void copy();
    void cut();
    void paste();

signals:
    // The user changed the text: typed, pasted, cut or deleted.
    void editedByHand();
    // The text changed otherwise than by addLine: replaced, cleared or
    // edited by hand. What was read from it must be read again.
    void rewritten();
    void cursorPositionChanged();

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void timerEvent(QTimerEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    // Room between the frame and the text, as a text editor leaves it.
    static constexpr int Margin = 4;
    // A log with no line still has a place for the caret.
    qsizetype lastLine() const { return std::max<qsizetype>(0, store_.size() - 1); }
    qsizetype lengthOf(qsizetype line) const { return store_.line(line).size(); }
    Position clamped(Position at) const;
    Position selectionStart() const { return std::min(anchor_, caret_); }
    Position selectionEnd() const { return std::max(anchor_, caret_); }
    QString textBetween(Position from, Position to) const;
    // Replaces the text between two positions; a hand edit.
    void replaceRange(Position from, Position to, const QString &text);
    bool handleKey(QKeyEvent *e, bool justAsk);
    int lineHeight() const;
    int visibleLines() const;
    int xOf(const QString &text, qsizetype column) const;
    void updateScrollBars();
    int barsNeeded() const; // 1 vertical, 2 horizontal
    void measureWidest();
    void restartBlink();
    void caretMoved(bool selectionChanged);
    Position wordStart(Position at) const;
    Position wordEnd(Position at) const;

    LineStore store_;
    qsizetype unshown_ = 0;
    bool modified_ = false;
    Position caret_;
    Position anchor_;
    // The column the caret keeps when it moves up and down, in pixels.
    int wantedX_ = -1;
    int widest_ = 0;                // the widest line known, in pixels
    qsizetype widestMeasured_ = -1; // the longest line that was measured
    bool selecting_ = false;
    bool caretShown_ = true;
    int barsNeeded_ = 0; // the bars as last laid out
    bool layoutPosted_ = false;
    QBasicTimer blink_;
    QTimer flushTimer_;
    bool ownFlushTimer_ = true;
};
