#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The lines of a channel log, kept compactly. A day of measurements is
// 86 400 lines a channel and a week seven times that, so a line is its
// UTF-8 bytes and the offset of its end, some fifty bytes for a
// measurement; lines are kept in pieces of at most PieceLines, and an edit
// rewrites only the pieces it touches.
class LineStore
{
public:
    static constexpr qsizetype PieceLines = 2048;

    qsizetype size() const { return lines_; }
    bool isEmpty() const { return lines_ == 0; }
    QString line(qsizetype i) const;
    QStringList lines(qsizetype first = 0, qsizetype count = -1) const;
    // The lines joined by '\n'.
    QString text() const;

    void append(QStringView line);
    void append(const QStringList &lines);
    // Lines first .. first + count - 1 become `with` (first may be size()).
    void replace(qsizetype first, qsizetype count, const QStringList &with);
    void clear();

    // The line with the most characters (the first of them), -1 without
    // lines: the width a view must scroll to.
    qsizetype longestLine() const;
    // Characters (UTF-16 units, as QString counts them) in the lines
    // before `line`, without line breaks.
    qsizetype charactersBefore(qsizetype line) const;
    qsizetype characters() const { return charactersBefore(lines_); }
    // The line and column of an offset into text(), where each line break
    // counts one; past the end is the end of the last line.
    std::pair<qsizetype, qsizetype> positionAt(qsizetype offset) const;

private:
    struct Piece
    {
        QByteArray bytes;
        std::vector<quint32> ends; // each line's end in bytes
        qsizetype characters = 0;
        qsizetype longest = -1; // in this piece
        qsizetype longestLength = -1;
    };
    static void add(Piece &piece, QStringView line);
    static QString lineOf(const Piece &piece, qsizetype i);
    // The piece holding line `i` (i < size()), and the line's index in it.
    std::pair<qsizetype, qsizetype> locate(qsizetype i) const;
    void indexPieces() const;

    std::vector<Piece> pieces_;
    qsizetype lines_ = 0;
    // Where each piece's lines begin, and characters; rebuilt after an edit.
    mutable std::vector<qsizetype> firstLine_{0};
    mutable std::vector<qsizetype> firstCharacter_{0};
    mutable bool indexed_ = true;
};
