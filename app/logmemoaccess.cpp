#include "app/logmemoaccess.h"

#include "app/logmemo.h"

#include <QAccessibleWidget>

namespace {

class LogMemoAccessible : public QAccessibleWidget, public QAccessibleTextInterface, public QAccessibleEditableTextInterface
{
public:
    explicit LogMemoAccessible(LogMemo *memo) : QAccessibleWidget(memo, QAccessible::EditableText) {}

    LogMemo *memo() const { return static_cast<LogMemo *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return memo()->text();
        return QAccessibleWidget::text(t);
    }

    // Selection and caret.
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index != 0 || !memo()->hasSelection())
            return;
        const qsizetype a = memo()->offsetOf(memo()->cursorPosition());
        const qsizetype b = anchorOffset();
        *start = int(std::min(a, b));
        *end = int(std::max(a, b));
    }
    int selectionCount() const override { return memo()->hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { memo()->setCursorPosition(memo()->cursorPosition()); }
    void setSelection(int, int start, int end) override
    {
        memo()->setCursorPosition(memo()->positionAt(start));
        memo()->setCursorPosition(memo()->positionAt(end), QTextCursor::KeepAnchor);
    }
    int cursorPosition() const override { return int(memo()->offsetOf(memo()->cursorPosition())); }
    void setCursorPosition(int position) override { memo()->setCursorPosition(memo()->positionAt(position)); }

    // Text.
    int characterCount() const override
    {
        const LineStore &s = memo()->store();
        return int(s.characters() + std::max<qsizetype>(0, s.size() - 1));
    }
    QString text(int start, int end) const override
    {
        start = std::clamp(start, 0, characterCount());
        end = std::clamp(end, start, characterCount());
        const LogMemo::Position from = memo()->positionAt(start), to = memo()->positionAt(end);
        QStringList parts = memo()->store().lines(from.line, to.line - from.line + 1);
        if (parts.isEmpty())
            return {};
        parts.last().truncate(to.column);
        parts.first().remove(0, from.column);
        return parts.join(QLatin1Char('\n'));
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        const auto [from, to] = range(offset, type);
        *start = int(from);
        *end = int(to);
        return text(*start, *end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        const qsizetype at = range(offset, type).first;
        if (at <= 0) {
            *start = *end = 0;
            return {};
        }
        return textAtOffset(int(at - 1), type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        const qsizetype at = range(offset, type).second;
        if (at >= characterCount()) {
            *start = *end = characterCount();
            return {};
        }
        return textAtOffset(int(at), type, start, end);
    }

    // Geometry.
    QRect characterRect(int offset) const override
    {
        const QRect r = memo()->characterRect(memo()->positionAt(offset));
        return QRect(memo()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint p = memo()->viewport()->mapFromGlobal(point);
        if (!memo()->viewport()->rect().contains(p))
            return -1;
        return int(memo()->offsetOf(memo()->hitTest(p, true)));
    }
    void scrollToSubstring(int start, int end) override
    {
        memo()->setCursorPosition(memo()->positionAt(end));
        memo()->setCursorPosition(memo()->positionAt(start));
    }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }

    // Editing, as the user would.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString &text) override
    {
        setSelection(0, start, end);
        memo()->insertText(text);
    }

private:
    qsizetype anchorOffset() const { return memo()->offsetOf(memo()->anchorPosition()); }

    // The unit of text around an offset.
    std::pair<qsizetype, qsizetype> range(qsizetype offset, QAccessible::TextBoundaryType type) const
    {
        const qsizetype count = characterCount();
        offset = std::clamp<qsizetype>(offset, 0, count);
        const LogMemo::Position at = memo()->positionAt(offset);
        const QString line = memo()->store().line(at.line);
        const qsizetype lineStart = offset - at.column;
        switch (type) {
        case QAccessible::CharBoundary:
            return {offset, std::min(count, offset + 1)};
        case QAccessible::WordBoundary: {
            auto [from, to] = memo()->wordAround(at);
            if (from == to) // at the line's end: its break
                ++to;
            return {lineStart + from, std::min(count, lineStart + to)};
        }
        case QAccessible::NoBoundary:
            return {0, count};
        default: // a sentence, a paragraph, a line: a log's line is all three
            return {lineStart, std::min(count, lineStart + line.size() + 1)};
        }
    }
};

QAccessibleInterface *logMemoFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("LogMemo") && object && object->isWidgetType())
        return new LogMemoAccessible(static_cast<LogMemo *>(object));
    return nullptr;
}

} // namespace

void installLogMemoAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(logMemoFactory);
        return true;
    }();
    (void)installed;
}
