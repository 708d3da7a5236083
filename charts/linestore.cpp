#include "charts/linestore.h"

#include <algorithm>

void LineStore::add(Piece &piece, QStringView line)
{
    const qsizetype at = piece.bytes.size();
    // Measurement lines are ASCII: copied byte for byte, with no encoder
    // and no temporary per line.
    bool ascii = true;
    for (QChar c : line)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        piece.bytes.resize(at + line.size());
        char *out = piece.bytes.data() + at;
        for (QChar c : line)
            *out++ = char(c.unicode());
    } else {
        piece.bytes.append(line.toUtf8());
    }
    piece.ends.push_back(quint32(piece.bytes.size()));
    piece.characters += line.size();
    if (line.size() > piece.longestLength) {
        piece.longestLength = line.size();
        piece.longest = qsizetype(piece.ends.size()) - 1;
    }
}

QString LineStore::lineOf(const Piece &piece, qsizetype i)
{
    const quint32 begin = i == 0 ? 0 : piece.ends[size_t(i - 1)];
    return QString::fromUtf8(piece.bytes.constData() + begin, qsizetype(piece.ends[size_t(i)] - begin));
}

void LineStore::indexPieces() const
{
    if (indexed_)
        return;
    firstLine_.assign(1, 0);
    firstCharacter_.assign(1, 0);
    for (const Piece &p : pieces_) {
        firstLine_.push_back(firstLine_.back() + qsizetype(p.ends.size()));
        firstCharacter_.push_back(firstCharacter_.back() + p.characters);
    }
    indexed_ = true;
}

std::pair<qsizetype, qsizetype> LineStore::locate(qsizetype i) const
{
    indexPieces();
    const auto after = std::upper_bound(firstLine_.begin(), firstLine_.end(), i);
    const qsizetype p = qsizetype(after - firstLine_.begin()) - 1;
    return {p, i - firstLine_[size_t(p)]};
}

QString LineStore::line(qsizetype i) const
{
    if (i < 0 || i >= lines_)
        return {};
    const auto [p, in] = locate(i);
    return lineOf(pieces_[size_t(p)], in);
}

QStringList LineStore::lines(qsizetype first, qsizetype count) const
{
    first = std::clamp<qsizetype>(first, 0, lines_);
    const qsizetype end = count < 0 ? lines_ : std::min(lines_, first + count);
    QStringList out;
    if (first >= end)
        return out;
    out.reserve(end - first);
    auto [p, in] = locate(first);
    for (qsizetype i = first; i < end; ++i) {
        while (in >= qsizetype(pieces_[size_t(p)].ends.size())) {
            ++p;
            in = 0;
        }
        out.append(lineOf(pieces_[size_t(p)], in++));
    }
    return out;
}

QString LineStore::text() const
{
    QString out;
    out.reserve(characters() + lines_);
    bool first = true;
    for (const Piece &p : pieces_)
        for (size_t i = 0; i < p.ends.size(); ++i) {
            if (!first)
                out += QLatin1Char('\n');
            first = false;
            out += lineOf(p, qsizetype(i));
        }
    return out;
}

void LineStore::append(QStringView line)
{
    if (pieces_.empty() || qsizetype(pieces_.back().ends.size()) >= PieceLines) {
        if (!pieces_.empty())
            pieces_.back().bytes.squeeze();
        pieces_.emplace_back();
        pieces_.back().ends.reserve(size_t(PieceLines));
        if (indexed_) {
            firstLine_.push_back(firstLine_.back());
            firstCharacter_.push_back(firstCharacter_.back());
        }
    }
    add(pieces_.back(), line);
    ++lines_;
    if (indexed_) {
        firstLine_.back() = lines_;
        firstCharacter_.back() += line.size();
    }
}

void LineStore::append(const QStringList &lines)
{
    for (const QString &l : lines)
        append(QStringView(l));
}

void LineStore::replace(qsizetype first, qsizetype count, const QStringList &with)
{
    first = std::clamp<qsizetype>(first, 0, lines_);
    count = std::clamp<qsizetype>(count, 0, lines_ - first);
    if (first == lines_) {
        append(with);
        return;
    }
    // The pieces holding the replaced lines are made again, with the lines
    // around the replaced ones that they held.
    const auto [p0, in0] = locate(first);
    const auto [p1, in1] = count > 0 ? locate(first + count - 1) : std::pair{p0, in0 - 1};
    QStringList kept;
    for (qsizetype i = 0; i < in0; ++i)
        kept.append(lineOf(pieces_[size_t(p0)], i));
    kept += with;
    const Piece &last = pieces_[size_t(p1)];
    for (qsizetype i = in1 + 1; i < qsizetype(last.ends.size()); ++i)
        kept.append(lineOf(last, i));

    std::vector<Piece> made;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (made.empty() || qsizetype(made.back().ends.size()) >= PieceLines)
            made.emplace_back();
        add(made.back(), kept[i]);
    }
    for (Piece &p : made) {
        p.bytes.squeeze();
        p.ends.shrink_to_fit();
    }
    pieces_.erase(pieces_.begin() + p0, pieces_.begin() + p1 + 1);
    pieces_.insert(pieces_.begin() + p0, std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
    lines_ += with.size() - count;
    indexed_ = false;
}

void LineStore::clear()
{
    pieces_.clear();
    pieces_.shrink_to_fit();
    lines_ = 0;
    firstLine_.assign(1, 0);
    firstCharacter_.assign(1, 0);
    indexed_ = true;
}

qsizetype LineStore::longestLine() const
{
    indexPieces();
    qsizetype best = -1, length = -1;
    for (size_t p = 0; p < pieces_.size(); ++p)
        if (pieces_[p].longestLength > length) {
            length = pieces_[p].longestLength;
            best = firstLine_[p] + pieces_[p].longest;
        }
    return best;
}

qsizetype LineStore::charactersBefore(qsizetype line) const
{
    line = std::clamp<qsizetype>(line, 0, lines_);
    if (line == lines_) {
        indexPieces();
        return firstCharacter_.back();
    }
    const auto [p, in] = locate(line);
    qsizetype n = firstCharacter_[size_t(p)];
    for (qsizetype i = 0; i < in; ++i)
        n += lineOf(pieces_[size_t(p)], i).size();
    return n;
}

std::pair<qsizetype, qsizetype> LineStore::positionAt(qsizetype offset) const
{
    if (lines_ == 0 || offset <= 0)
        return {0, 0};
    indexPieces();
    // A piece's lines begin at its characters and its line breaks before it.
    qsizetype lo = 0, hi = qsizetype(pieces_.size()) - 1;
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (firstCharacter_[size_t(mid)] + firstLine_[size_t(mid)] <= offset)
            lo = mid;
        else
            hi = mid - 1;
    }
    const Piece &piece = pieces_[size_t(lo)];
    qsizetype at = firstCharacter_[size_t(lo)] + firstLine_[size_t(lo)];
    for (qsizetype i = 0; i < qsizetype(piece.ends.size()); ++i) {
        const qsizetype length = lineOf(piece, i).size();
        if (offset <= at + length || firstLine_[size_t(lo)] + i == lines_ - 1)
            return {firstLine_[size_t(lo)] + i, std::min(offset - at, length)};
        at += length + 1;
    }
    return {lines_ - 1, 0}; // not reached: the last line takes any rest
}
