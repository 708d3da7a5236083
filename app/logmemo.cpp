#include "app/logmemo.h"

#include "app/logmemoaccess.h"
#include "app/logscrollbar.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A line drawn with the caret keeps this much of it in view to its right.
constexpr int CaretRoom = 2;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

QString typedText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

LogMemo::LogMemo(QWidget *parent) : QAbstractScrollArea(parent)
{
    setVerticalScrollBar(new LogScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new LogScrollBar(Qt::Horizontal, this));
    installLogMemoAccessibility();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setBackgroundRole(QPalette::Base);
    // The log paints every pixel of what it is asked to: a scroll then moves
    // what is on the screen and draws only the line it uncovers.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    // The form was drawn for an 8-point font: at that size a measurement line
    // fits the memo's width at the window's design size.
    QFont f = font();
    f.setPointSize(8);
    // The lines are digits, Latin and Cyrillic, which need no shaping
    // engine; without it a line's width is the sum of its characters'.
    f.setStyleStrategy(QFont::PreferNoShaping);
    setFont(f);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushInterval);
    connect(&flushTimer_, &QTimer::timeout, this, &LogMemo::flush);
    verticalScrollBar()->setSingleStep(1);
    // The scroll area lays its bars out again at every new range, and that
    // raises them, which draws both bars whole: with a line a second that
    // is most of what a log costs. They are laid out here only when one
    // comes or goes.
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()})
        disconnect(bar, SIGNAL(rangeChanged(int,int)), this, SLOT(_q_showOrHideScrollBars()));
    updateScrollBars();
}

LogMemo::~LogMemo() = default;

void LogMemo::addLine(const QString &line)
{
    store_.append(QStringView(line));
    ++unshown_;
    modified_ = true;
    if (ownFlushTimer_ && !flushTimer_.isActive())
        flushTimer_.start();
}

void LogMemo::flush()
{
    flushTimer_.stop();
    if (unshown_ == 0)
        return;
    const qsizetype firstNew = store_.size() - unshown_;
    unshown_ = 0;
    // The view follows new lines only when the user has not scrolled away
    // from the end.
    QScrollBar *bar = verticalScrollBar();
    auto *v = static_cast<LogScrollBar *>(bar);
    auto *h = static_cast<LogScrollBar *>(horizontalScrollBar());
    v->setNews(true);
    h->setNews(true);
    // The line with the most characters stands for the widest; a few new
    // lines are measured themselves (a Cyrillic text is wider than its
    // count says), but not a flood's hundreds a pass.
    if (store_.size() - firstNew <= 16)
        for (qsizetype i = firstNew; i < store_.size(); ++i) {
            const QString l = store_.line(i);
            widest_ = std::max(widest_, xOf(l, l.size()));
        }
    measureWidest();
    // Scrolling moves what is on the screen and draws only what it uncovers;
    // new lines still in sight are drawn where they are.
    updateScrollBars();
    v->setNews(false);
    h->setNews(false);
    const int row = int(firstNew - bar->value());
    if (row <= visibleLines())
        viewport()->update(0, Margin + std::max(0, row) * lineHeight(), viewport()->width(), viewport()->height());
    if (QAccessible::isActive()) {
        const qsizetype at = offsetOf({firstNew, 0});
        QString added = store_.lines(firstNew).join(QLatin1Char('\n'));
        if (firstNew > 0)
            added.prepend(QLatin1Char('\n'));
        QAccessibleTextInsertEvent ev(this, int(at > 0 ? at - 1 : at), added);
        QAccessible::updateAccessibility(&ev);
    }
}

void LogMemo::setLines(const QStringList &lines)
{
    flushTimer_.stop();
    store_.clear();
    store_.append(lines);
    unshown_ = 0;
    modified_ = false;
    caret_ = anchor_ = {};
    wantedX_ = -1;
    widest_ = 0;
    widestMeasured_ = -1;
    measureWidest();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleEvent ev(this, QAccessible::TextUpdated);
        QAccessible::updateAccessibility(&ev);
    }
    emit cursorPositionChanged();
    emit rewritten();
}

// ---------------------------------------------------------------- geometry

int LogMemo::lineHeight() const
{
    return QFontMetrics(font()).lineSpacing();
}

int LogMemo::visibleLines() const
{
    return std::max(1, (viewport()->height() - 2 * Margin) / lineHeight());
}

int LogMemo::xOf(const QString &text, qsizetype column) const
{
    const QFontMetricsF fm(font());
    qreal x = 0;
    for (qsizetype i = 0; i < std::min(column, text.size()); ++i)
        x += fm.horizontalAdvance(text[i]);
    return qRound(x);
}

void LogMemo::measureWidest()
{
    // The line with the most characters is taken for the widest; the
    // painter widens the range should a shorter one prove wider.
    const qsizetype longest = store_.longestLine();
    if (longest == widestMeasured_)
        return;
    widestMeasured_ = longest;
    if (longest >= 0) {
        const QString l = store_.line(longest);
        widest_ = std::max(widest_, xOf(l, l.size()));
    }
}

void LogMemo::updateScrollBars()
{
    const int visible = visibleLines();
    QScrollBar *v = verticalScrollBar();
    // The view that shows the end keeps showing it, whatever changed the
    // range (a resize, an edit, lines shown); lines not yet shown are not
    // in the range.
    const bool atEnd = v->value() == v->maximum();
    v->setPageStep(visible);
    v->setRange(0, int(std::max<qsizetype>(0, store_.size() - unshown_ - visible)));
    if (atEnd)
        v->setValue(v->maximum());
    QScrollBar *h = horizontalScrollBar();
    const int width = viewport()->width();
    h->setPageStep(width);
    h->setSingleStep(std::max(1, QFontMetrics(font()).averageCharWidth() * 2));
    h->setRange(0, std::max(0, widest_ + 2 * Margin + CaretRoom - width));
    if (barsNeeded() != barsNeeded_ && !layoutPosted_) {
        // After this pass, as the scroll area itself would: the new layout
        // resizes the view, which comes back here.
        layoutPosted_ = true;
        QMetaObject::invokeMethod(this, [this] {
            layoutPosted_ = false;
            barsNeeded_ = barsNeeded();
            // Setting a policy lays the bars out, whatever it was.
            setVerticalScrollBarPolicy(verticalScrollBarPolicy());
        }, Qt::QueuedConnection);
    }
}

int LogMemo::barsNeeded() const
{
    return (verticalScrollBar()->maximum() > 0 ? 1 : 0) | (horizontalScrollBar()->maximum() > 0 ? 2 : 0);
}

void LogMemo::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
}

void LogMemo::scrollContentsBy(int dx, int dy)
{
    // The vertical bar counts lines, the horizontal one pixels. The margins
    // do not move with the text: drawn again.
    QWidget *v = viewport();
    const int py = dy * lineHeight();
    v->scroll(dx, py);
    if (py > 0)
        v->update(0, py, v->width(), Margin);
    else if (py < 0)
        v->update(0, 0, v->width(), Margin);
    if (dx > 0)
        v->update(dx, 0, Margin, v->height());
    else if (dx < 0)
        v->update(0, 0, Margin, v->height());
}

void LogMemo::changeEvent(QEvent *e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        widest_ = 0;
        widestMeasured_ = -1;
        measureWidest();
        updateScrollBars();
    }
}

LogMemo::Position LogMemo::hitTest(QPoint p, bool characterUnder) const
{
    const qsizetype line = std::clamp<qsizetype>(verticalScrollBar()->value() + (p.y() - Margin) / lineHeight(), 0,
                                                 lastLine());
    const QString text = store_.line(line);
    const QFontMetricsF fm(font());
    const qreal x = p.x() - Margin + horizontalScrollBar()->value();
    qreal at = 0;
    qsizetype column = 0;
    while (column < text.size()) {
        const qreal w = fm.horizontalAdvance(text[column]);
        if (at + (characterUnder ? w : w / 2) > x)
            break;
        at += w;
        ++column;
    }
    return {line, column};
}

QRect LogMemo::characterRect(Position at) const
{
    const QString text = store_.line(at.line);
    const int x = Margin - horizontalScrollBar()->value() + xOf(text, at.column);
    const int y = Margin + int(at.line - verticalScrollBar()->value()) * lineHeight();
    const int w = at.column < text.size() ? qRound(QFontMetricsF(font()).horizontalAdvance(text[at.column])) : 1;
    return {x, y, std::max(1, w), lineHeight()};
}

// ---------------------------------------------------------------- painting

void LogMemo::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), palette().brush(QPalette::Base));
    p.setFont(font());
    const QFontMetricsF fm(font());
    const int lh = lineHeight();
    const int ascent = QFontMetrics(font()).ascent();
    const int first = verticalScrollBar()->value();
    const int left = Margin - horizontalScrollBar()->value();
    const int width = viewport()->width();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QColor textColour = palette().color(group, QPalette::Text);
    const QColor highlight = palette().color(group, QPalette::Highlight);
    const QColor highlightedText = palette().color(group, QPalette::HighlightedText);
    const Position selFrom = selectionStart(), selTo = selectionEnd();
    const int rows = viewport()->height() / lh + 2;
    // Only the rows asked for are laid out: a scroll asks for the line it
    // uncovers (and the margin), not for the lines it moved.
    std::vector<char> asked(size_t(rows), 0);
    auto rowAt = [&](int y) { return int(std::floor(double(y - Margin) / lh)); };
    for (const QRect &r : event->region())
        for (int row = std::max(0, rowAt(r.top())); row <= std::min(rows - 1, rowAt(r.bottom())); ++row)
            asked[size_t(row)] = 1;
    int widest = widest_;
    for (int row = 0; row < rows && first + row < store_.size(); ++row) {
        if (!asked[size_t(row)])
            continue;
        const qsizetype line = first + row;
        const QString text = store_.line(line);
        const int top = Margin + row * lh;
        // Only the characters in sight are drawn: a line of noise may be
        // thousands of characters long.
        qreal x = left;
        qsizetype c = 0;
        for (; c < text.size(); ++c) {
            const qreal w = fm.horizontalAdvance(text[c]);
            if (x + w >= 0)
                break;
            x += w;
        }
        const qsizetype from = selFrom.line < line ? 0 : selFrom.line == line ? selFrom.column : text.size() + 1;
        const qsizetype to = selTo.line > line ? text.size() + 1 : selTo.line == line ? selTo.column : -1;
        // Runs of equal colour: before, in and after the selection.
        while (c < text.size() && x < width) {
            const bool selected = c >= from && c < to;
            qsizetype end = selected ? std::min(text.size(), to) : (c < from ? std::min(text.size(), from) : text.size());
            qreal w = 0;
            qsizetype e = c;
            for (; e < end && x + w < width; ++e)
                w += fm.horizontalAdvance(text[e]);
            end = e;
            if (selected)
                p.fillRect(QRectF(x, top, w, lh), highlight);
            p.setPen(selected ? highlightedText : textColour);
            p.drawText(QPointF(x, top + ascent), text.mid(c, end - c));
            x += w;
            c = end;
        }
        // A selected line break shows as a little room after the line.
        if (hasSelection() && to > text.size() && from <= text.size() && c >= text.size())
            p.fillRect(QRectF(x, top, fm.averageCharWidth() / 2.0, lh), highlight);
        if (c >= text.size())
            widest = std::max(widest, qRound(x) - left);
    }
    if (hasFocus() && caretShown_ && caret_.line >= first && caret_.line < first + rows) {
        const QRect r = characterRect(caret_);
        p.fillRect(QRect(r.x(), r.y(), 1, lh), textColour);
    }
    if (widest > widest_) {
        widest_ = widest;
        QMetaObject::invokeMethod(this, &LogMemo::updateScrollBars, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------- caret

LogMemo::Position LogMemo::clamped(Position at) const
{
    at.line = std::clamp<qsizetype>(at.line, 0, lastLine());
    const QString text = store_.line(at.line);
    at.column = std::clamp<qsizetype>(at.column, 0, text.size());
    // Never between the two halves of a character.
    if (at.column > 0 && at.column < text.size() && text[at.column].isLowSurrogate() &&
        text[at.column - 1].isHighSurrogate())
        --at.column;
    return at;
}

void LogMemo::caretMoved(bool selectionChanged)
{
    restartBlink();
    viewport()->update();
    emit cursorPositionChanged();
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent moved(this, int(offsetOf(caret_)));
        QAccessible::updateAccessibility(&moved);
        if (selectionChanged) {
            QAccessibleTextSelectionEvent ev(this, int(offsetOf(selectionStart())), int(offsetOf(selectionEnd())));
            ev.setCursorPosition(int(offsetOf(caret_)));
            QAccessible::updateAccessibility(&ev);
        }
    }
}

void LogMemo::setCursorPosition(Position at, QTextCursor::MoveMode mode)
{
    const Position caret = caret_, anchor = anchor_;
    caret_ = clamped(at);
    if (mode == QTextCursor::MoveAnchor)
        anchor_ = caret_;
    wantedX_ = -1;
    ensureCursorVisible();
    if (caret_ != caret || anchor_ != anchor)
        caretMoved(anchor != caret || anchor_ != caret_);
}

std::pair<qsizetype, qsizetype> LogMemo::wordAround(Position at) const
{
    const QString text = store_.line(at.line);
    qsizetype from = at.column, to = at.column;
    if (to < text.size() && isWordCharacter(text[to])) {
        while (from > 0 && isWordCharacter(text[from - 1]))
            --from;
        while (to < text.size() && isWordCharacter(text[to]))
            ++to;
    } else if (to < text.size()) {
        ++to;
    }
    return {from, to};
}

LogMemo::Position LogMemo::wordStart(Position at) const
{
    const QString text = store_.line(at.line);
    qsizetype c = at.column;
    while (c > 0 && !isWordCharacter(text[c - 1]))
        --c;
    while (c > 0 && isWordCharacter(text[c - 1]))
        --c;
    return {at.line, c};
}

LogMemo::Position LogMemo::wordEnd(Position at) const
{
    const QString text = store_.line(at.line);
    qsizetype c = at.column;
    while (c < text.size() && isWordCharacter(text[c]))
        ++c;
    while (c < text.size() && !isWordCharacter(text[c]))
        ++c;
    return {at.line, c};
}

void LogMemo::moveCursor(QTextCursor::MoveOperation op, QTextCursor::MoveMode mode)
{
    Position p = caret_;
    const bool collapse = mode == QTextCursor::MoveAnchor && hasSelection();
    bool vertical = false;
    switch (op) {
    case QTextCursor::Start:
        p = {0, 0};
        break;
    case QTextCursor::End:
        p = {lastLine(), lengthOf(lastLine())};
        break;
    case QTextCursor::StartOfLine:
    case QTextCursor::StartOfBlock:
        p.column = 0;
        break;
    case QTextCursor::EndOfLine:
    case QTextCursor::EndOfBlock:
        p.column = lengthOf(p.line);
        break;
    case QTextCursor::Left:
    case QTextCursor::PreviousCharacter:
        if (collapse) {
            p = selectionStart();
        } else if (p.column > 0) {
            const QString text = store_.line(p.line);
            p.column -= p.column > 1 && text[p.column - 1].isLowSurrogate() && text[p.column - 2].isHighSurrogate() ? 2 : 1;
        } else if (p.line > 0) {
            p = {p.line - 1, lengthOf(p.line - 1)};
        }
        break;
    case QTextCursor::Right:
    case QTextCursor::NextCharacter:
        if (collapse) {
            p = selectionEnd();
        } else if (const QString text = store_.line(p.line); p.column < text.size()) {
            p.column += p.column + 1 < text.size() && text[p.column].isHighSurrogate() && text[p.column + 1].isLowSurrogate() ? 2 : 1;
        } else if (p.line < lastLine()) {
            p = {p.line + 1, 0};
        }
        break;
    case QTextCursor::WordLeft:
    case QTextCursor::PreviousWord:
    case QTextCursor::StartOfWord:
        if (p.column == 0 && p.line > 0)
            p = {p.line - 1, lengthOf(p.line - 1)};
        else
            p = wordStart(p);
        break;
    case QTextCursor::WordRight:
    case QTextCursor::NextWord:
    case QTextCursor::EndOfWord:
        if (p.column == lengthOf(p.line) && p.line < lastLine())
            p = {p.line + 1, 0};
        else
            p = wordEnd(p);
        break;
    case QTextCursor::Up:
    case QTextCursor::Down:
    case QTextCursor::PreviousBlock:
    case QTextCursor::NextBlock:
    case QTextCursor::PreviousRow:
    case QTextCursor::NextRow: {
        vertical = true;
        if (wantedX_ < 0)
            wantedX_ = xOf(store_.line(p.line), p.column);
        const bool up = op == QTextCursor::Up || op == QTextCursor::PreviousBlock || op == QTextCursor::PreviousRow;
        if (up ? p.line == 0 : p.line == lastLine()) {
            p.column = up ? 0 : lengthOf(p.line);
            break;
        }
        p.line += up ? -1 : 1;
        p = hitTest({Margin - horizontalScrollBar()->value() + wantedX_,
                     Margin + int(p.line - verticalScrollBar()->value()) * lineHeight()});
        if (p.line != caret_.line + (up ? -1 : 1)) // off the screen: the hit test clamps
            p = {caret_.line + (up ? -1 : 1), std::min(lengthOf(caret_.line + (up ? -1 : 1)), p.column)};
        break;
    }
    default:
        return;
    }
    const int keep = wantedX_;
    setCursorPosition(p, mode);
    wantedX_ = vertical ? keep : -1;
}

void LogMemo::ensureCursorVisible()
{
    QScrollBar *v = verticalScrollBar();
    const int visible = visibleLines();
    if (caret_.line < v->value())
        v->setValue(int(caret_.line));
    else if (caret_.line >= v->value() + visible)
        v->setValue(int(caret_.line) - visible + 1);
    QScrollBar *h = horizontalScrollBar();
    const QString line = store_.line(caret_.line);
    const int x = xOf(line, caret_.column);
    if (const int width = xOf(line, line.size()); width > widest_) {
        widest_ = width;
        updateScrollBars();
    }
    const int room = viewport()->width() - 2 * Margin - CaretRoom;
    if (x < h->value())
        h->setValue(x);
    else if (x > h->value() + room)
        h->setValue(x - room);
}

void LogMemo::restartBlink()
{
    caretShown_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

void LogMemo::timerEvent(QTimerEvent *e)
{
    if (e->timerId() != blink_.timerId()) {
        QAbstractScrollArea::timerEvent(e);
        return;
    }
    caretShown_ = !caretShown_;
    viewport()->update(characterRect(caret_).adjusted(-1, 0, 1, 0));
}

void LogMemo::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    restartBlink();
    viewport()->update();
}

void LogMemo::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    blink_.stop();
    viewport()->update();
}

// ---------------------------------------------------------------- text

QString LogMemo::selectedText() const
{
    return textBetween(selectionStart(), selectionEnd());
}

QString LogMemo::textBetween(Position from, Position to) const
{
    if (!(from < to) || store_.isEmpty())
        return {};
    QStringList parts = store_.lines(from.line, to.line - from.line + 1);
    parts.last().truncate(to.column);
    parts.first().remove(0, from.column);
    return parts.join(QLatin1Char('\n'));
}

qsizetype LogMemo::offsetOf(Position at) const
{
    at = clamped(at);
    return store_.charactersBefore(at.line) + at.line + at.column;
}

LogMemo::Position LogMemo::positionAt(qsizetype offset) const
{
    const auto [line, column] = store_.positionAt(offset);
    return {line, column};
}

void LogMemo::selectAll()
{
    anchor_ = {0, 0};
    caret_ = {lastLine(), lengthOf(lastLine())};
    caretMoved(true);
}

void LogMemo::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LogMemo::cut()
{
    if (!hasSelection())
        return;
    copy();
    insertText({});
}

void LogMemo::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        insertText(text);
}

void LogMemo::insertText(const QString &text)
{
    replaceRange(selectionStart(), selectionEnd(), typedText(text));
}

void LogMemo::replaceRange(Position from, Position to, const QString &text)
{
    flush(); // lines that came are shown before the text changes under them
    from = clamped(from);
    to = clamped(to);
    if (to < from)
        std::swap(from, to);
    if (from == to && text.isEmpty())
        return;
    // Offsets cost a walk through a piece of lines: only for a screen reader.
    const bool told = QAccessible::isActive();
    const qsizetype at = told ? offsetOf(from) : 0;
    const QString removed = told ? textBetween(from, to) : QString();
    const QString head = store_.line(from.line).left(from.column);
    const QString tail = store_.line(to.line).mid(to.column);
    const QStringList parts = (head + text + tail).split(QLatin1Char('\n'));
    store_.replace(from.line, store_.isEmpty() ? 0 : to.line - from.line + 1, parts);
    // A user who deletes every character leaves no line, as a log that was
    // never written to.
    if (store_.size() == 1 && store_.line(0).isEmpty())
        store_.clear();
    modified_ = true;
    widestMeasured_ = -1;
    measureWidest();
    updateScrollBars();
    caret_ = anchor_ = clamped({from.line + parts.size() - 1, parts.last().size() - tail.size()});
    wantedX_ = -1;
    ensureCursorVisible();
    if (told) {
        if (!removed.isEmpty()) {
            QAccessibleTextRemoveEvent ev(this, int(at), removed);
            QAccessible::updateAccessibility(&ev);
        }
        if (!text.isEmpty()) {
            QAccessibleTextInsertEvent ev(this, int(at), text);
            QAccessible::updateAccessibility(&ev);
        }
    }
    caretMoved(true);
    emit editedByHand();
    emit rewritten();
}
