// The log's keys, mouse and input method: what the user does to select and
// edit, turned into the caret moves and edits of logmemo.cpp.

#include "app/logmemo.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>

bool LogMemo::handleKey(QKeyEvent *e, bool justAsk)
{
    struct Move
    {
        QKeySequence::StandardKey key;
        QTextCursor::MoveOperation op;
        QTextCursor::MoveMode mode;
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QTextCursor::Right, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousChar, QTextCursor::Left, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToNextWord, QTextCursor::WordRight, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToNextLine, QTextCursor::Down, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousLine, QTextCursor::Up, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToStartOfBlock, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfBlock, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfDocument, QTextCursor::End, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextChar, QTextCursor::Right, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousChar, QTextCursor::Left, QTextCursor::KeepAnchor},
        {QKeySequence::SelectNextWord, QTextCursor::WordRight, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, QTextCursor::KeepAnchor},
        {QKeySequence::SelectNextLine, QTextCursor::Down, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousLine, QTextCursor::Up, QTextCursor::KeepAnchor},
        {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::SelectStartOfBlock, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfBlock, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::SelectStartOfDocument, QTextCursor::Start, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfDocument, QTextCursor::End, QTextCursor::KeepAnchor},
    };
    for (const Move &m : moves)
        if (e->matches(m.key)) {
            if (!justAsk)
                moveCursor(m.op, m.mode);
            return true;
        }
    const bool pageDown = e->matches(QKeySequence::MoveToNextPage) || e->matches(QKeySequence::SelectNextPage);
    const bool pageUp = e->matches(QKeySequence::MoveToPreviousPage) || e->matches(QKeySequence::SelectPreviousPage);
    if (pageDown || pageUp) {
        if (!justAsk) {
            const int step = (pageDown ? 1 : -1) * visibleLines();
            const QTextCursor::MoveMode mode = e->matches(QKeySequence::SelectNextPage) ||
                                                       e->matches(QKeySequence::SelectPreviousPage)
                                                   ? QTextCursor::KeepAnchor
                                                   : QTextCursor::MoveAnchor;
            if (wantedX_ < 0)
                wantedX_ = xOf(store_.line(caret_.line), caret_.column);
            const int keep = wantedX_;
            verticalScrollBar()->setValue(verticalScrollBar()->value() + step);
            const qsizetype line = std::clamp<qsizetype>(caret_.line + step, 0, lastLine());
            Position p = hitTest({Margin - horizontalScrollBar()->value() + keep,
                                  Margin + int(line - verticalScrollBar()->value()) * lineHeight()});
            if (p.line != line)
                p = {line, std::min(lengthOf(line), p.column)};
            setCursorPosition(p, mode);
            wantedX_ = keep;
        }
        return true;
    }
    using Action = void (LogMemo::*)();
    const std::pair<QKeySequence::StandardKey, Action> actions[] = {
        {QKeySequence::SelectAll, &LogMemo::selectAll},
        {QKeySequence::Copy, &LogMemo::copy},
        {QKeySequence::Cut, &LogMemo::cut},
        {QKeySequence::Paste, &LogMemo::paste},
    };
    for (const auto &[key, action] : actions)
        if (e->matches(key)) {
            if (!justAsk)
                (this->*action)();
            return true;
        }
    const bool deleteWord = e->matches(QKeySequence::DeleteEndOfWord);
    const bool backspaceWord = e->matches(QKeySequence::DeleteStartOfWord);
    const bool del = e->matches(QKeySequence::Delete);
    const bool backspace = e->key() == Qt::Key_Backspace && !(e->modifiers() & ~Qt::ShiftModifier);
    if (del || backspace || deleteWord || backspaceWord) {
        if (justAsk)
            return true;
        if (!hasSelection()) {
            const QTextCursor::MoveOperation op = deleteWord      ? QTextCursor::WordRight
                                                  : backspaceWord ? QTextCursor::WordLeft
                                                  : del           ? QTextCursor::Right
                                                                  : QTextCursor::Left;
            moveCursor(op, QTextCursor::KeepAnchor);
        }
        if (hasSelection())
            insertText({});
        return true;
    }
    if (e->matches(QKeySequence::InsertParagraphSeparator) || e->matches(QKeySequence::InsertLineSeparator)) {
        if (!justAsk)
            insertText(QStringLiteral("\n"));
        return true;
    }
    // Text as typed: plain or shifted keys; Alt with a letter is the
    // window's (a label's mnemonic), and Ctrl with Alt is AltGr where a
    // layout has it so, typing but never taken over from a shortcut.
    const QString text = e->text();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier);
    const bool altGr = mods == (Qt::ControlModifier | Qt::AltModifier);
    if ((mods == Qt::NoModifier || (altGr && !justAsk)) && !text.isEmpty() &&
        (text.front().isPrint() || text.front() == QLatin1Char('\t'))) {
        if (!justAsk)
            insertText(text);
        return true;
    }
    return false;
}

bool LogMemo::event(QEvent *e)
{
    // The log's own keys come before the window's shortcuts while it has
    // the focus, as in any text field.
    if (e->type() == QEvent::ShortcutOverride && handleKey(static_cast<QKeyEvent *>(e), true)) {
        e->accept();
        return true;
    }
    return QAbstractScrollArea::event(e);
}

void LogMemo::keyPressEvent(QKeyEvent *e)
{
    if (handleKey(e, false))
        e->accept();
    else
        QAbstractScrollArea::keyPressEvent(e);
}

void LogMemo::inputMethodEvent(QInputMethodEvent *e)
{
    if (!e->commitString().isEmpty())
        insertText(e->commitString());
    e->accept();
}

QVariant LogMemo::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return QRect(viewport()->mapTo(this, characterRect(caret_).topLeft()), QSize(1, lineHeight()));
    case Qt::ImSurroundingText:
        return store_.line(caret_.line);
    case Qt::ImCursorPosition:
        return int(caret_.column);
    case Qt::ImAnchorPosition:
        return int(anchor_.line == caret_.line ? anchor_.column : caret_.column);
    case Qt::ImCurrentSelection:
        return selectedText();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void LogMemo::mousePressEvent(QMouseEvent *e)
{
    const Position at = hitTest(e->position().toPoint());
    if (e->button() == Qt::LeftButton) {
        selecting_ = true;
        setCursorPosition(at, e->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        wantedX_ = -1;
    } else if (e->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        setCursorPosition(at);
        const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
        if (!text.isEmpty())
            insertText(text);
    } else {
        QAbstractScrollArea::mousePressEvent(e);
    }
}

void LogMemo::mouseMoveEvent(QMouseEvent *e)
{
    if (!selecting_ || !(e->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(e);
        return;
    }
    QPoint p = e->position().toPoint();
    // Dragging past the top or the bottom scrolls on, a line a move.
    if (p.y() < 0)
        p.setY(-lineHeight());
    else if (p.y() > viewport()->height())
        p.setY(viewport()->height() + lineHeight());
    setCursorPosition(hitTest(p), QTextCursor::KeepAnchor);
}

void LogMemo::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !selecting_) {
        QAbstractScrollArea::mouseReleaseEvent(e);
        return;
    }
    selecting_ = false;
    if (hasSelection() && QGuiApplication::clipboard()->supportsSelection())
        QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
}

void LogMemo::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(e);
        return;
    }
    const Position at = hitTest(e->position().toPoint(), true);
    const auto [from, to] = wordAround(at);
    anchor_ = {at.line, from};
    setCursorPosition({at.line, to}, QTextCursor::KeepAnchor);
    selecting_ = false;
    if (hasSelection() && QGuiApplication::clipboard()->supportsSelection())
        QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
}
