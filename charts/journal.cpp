#include "charts/journal.h"

#include "charts/chartlines.h"
#include "charts/datafile.h"
#include "platform/localeformat.h"

#include <QFile>

#include <charconv>

namespace {

// A record's line: eight hex digits of the hash of its body, a space, the
// body, LF. The body is a type letter and tab-separated fields in UTF-8,
// with backslash, tab, CR and LF escaped so a record is always one line.
quint32 fnv1a(const char *data, qsizetype size)
{
    quint32 h = 2166136261u;
    for (qsizetype i = 0; i < size; ++i) {
        h ^= quint8(data[i]);
        h *= 16777619u;
    }
    return h;
}

void escapeInto(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

QString unescape(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            switch (field[++i]) {
            case 't': c = '\t'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            default: c = field[i];
            }
        }
        out += c;
    }
    return QString::fromUtf8(out);
}

class Record
{
public:
    explicit Record(char type) { body_ += type; }
    Record &text(const QString &s)
    {
        body_ += '\t';
        escapeInto(body_, s);
        return *this;
    }
    Record &number(double v)
    {
        // The shortest text that reads back as the same double: exact, and
        // a point is written for every sample of a fast stream.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        body_ += '\t';
        body_.append(digits, end - digits);
        return *this;
    }
    Record &hex(quint32 v)
    {
        body_ += '\t';
        body_ += QByteArray::number(v, 16);
        return *this;
    }
    Record &setup(const CurveSetup &s)
    {
        quint32 shown = 0;
        for (int i = 0; i < JournalCurves; ++i)
            shown |= s.shown[size_t(i)] ? 1u << i : 0;
        hex(shown);
        for (QRgb c : s.colour)
            hex(c);
        return *this;
    }
    operator QByteArray() const
    {
        QByteArray line = QByteArray::number(fnv1a(body_.constData(), body_.size()), 16).rightJustified(8, '0');
        line += ' ';
        line += body_;
        line += '\n';
        return line;
    }

private:
    QByteArray body_;
};

struct Fields
{
    char type = 0;
    QList<QByteArrayView> fields;

    QString text(int i) const { return i < fields.size() ? unescape(fields[i]) : QString(); }
    double number(int i, bool *ok) const
    {
        return i < fields.size() ? fields[i].toByteArray().toDouble(ok) : (*ok = false, 0.0);
    }
    quint32 hex(int i, bool *ok) const
    {
        return i < fields.size() ? fields[i].toByteArray().toUInt(ok, 16) : (*ok = false, 0u);
    }
    bool setup(int first, CurveSetup *s) const
    {
        bool ok = true, each = false;
        const quint32 shown = hex(first, &each);
        ok = ok && each;
        for (int i = 0; i < JournalCurves; ++i) {
            s->shown[size_t(i)] = shown & (1u << i);
            s->colour[size_t(i)] = hex(first + 1 + i, &each);
            ok = ok && each;
        }
        return ok;
    }
};

// A line of the file back into its fields; false when its hash does not match.
bool parseRecord(QByteArrayView line, Fields *out)
{
    if (line.size() < 10 || line[8] != ' ')
        return false;
    bool ok = false;
    const quint32 hash = line.first(8).toByteArray().toUInt(&ok, 16);
    const QByteArrayView body = line.sliced(9);
    if (!ok || hash != fnv1a(body.data(), body.size()))
        return false;
    out->type = body[0];
    out->fields.clear();
    qsizetype from = 1;
    while (from < body.size() && body[from] == '\t') {
        qsizetype end = body.indexOf('\t', from + 1);
        if (end < 0)
            end = body.size();
        out->fields.append(body.sliced(from + 1, end - from - 1));
        from = end;
    }
    return true;
}

// The curves a rebuild from the logs gave, reading numbers written with
// another decimal point as the program that wrote them did.
void rebuildCurves(JournalContent &c, const CurveSetup &setup, QChar decimalPoint)
{
    const QString here = Fmt::decimalSeparator();
    auto inThisLocale = [&](const QStringList &lines) {
        if (decimalPoint.isNull() || here == QString(decimalPoint))
            return lines;
        QStringList converted = lines;
        for (QString &l : converted)
            l.replace(decimalPoint, here);
        return converted;
    };
    for (int ch = 0; ch < 2; ++ch) {
        const int u = ch * 2, t = u + 1;
        const LogCurves built = curvesFromLog(inThisLocale(ch == 0 ? c.a : c.b), setup.shown[size_t(u)],
                                              setup.shown[size_t(t)]);
        c.curves[size_t(u)].clear();
        c.curves[size_t(t)].clear();
        for (const LogPoint &p : built.u)
            c.curves[size_t(u)].push_back({p.value, p.time, setup.colour[size_t(u)]});
        for (const LogPoint &p : built.t)
            c.curves[size_t(t)].push_back({p.value, p.time, setup.colour[size_t(t)]});
    }
}

} // namespace

namespace JournalRecord {

QByteArray header(const QDateTime &started, QChar decimalPoint)
{
    return Record('H').text(QStringLiteral("1")).text(started.toString(Qt::ISODateWithMs)).text(decimalPoint);
}

QByteArray line(char channel, const QString &text)
{
    return Record(channel).text(text);
}

QByteArray point(int curve, const ChartPoint &p)
{
    return Record('P').number(curve).number(p.value).hex(p.colour).text(p.label);
}

QByteArray chartCleared()
{
    return Record('X');
}

QByteArray chartRebuilt(const CurveSetup &setup)
{
    return Record('R').setup(setup);
}

QByteArray opened(const QString &path, const CurveSetup &setup)
{
    return Record('F').setup(setup).text(path);
}

QByteArray saved(const QString &path)
{
    return Record('W').text(path);
}

QByteArray chargeStart(double startTime, double timeOffset, const QString &shown)
{
    return Record('T').number(startTime).number(timeOffset).text(shown);
}

QByteArray linkLog(const QString &text)
{
    return Record('L').text(text);
}

QByteArray logEdited(char channel, const QStringList &lines)
{
    // The count tells no line from one empty line.
    return Record('E').text(QString(QLatin1Char(channel))).number(double(lines.size()))
        .text(lines.join(QLatin1Char('\n')));
}

} // namespace JournalRecord

JournalContent replayJournal(const QByteArray &bytes)
{
    JournalContent c;
    int unsaved[2] = {0, 0}; // lines of each channel that no save covers
    QChar decimalPoint;
    Fields r;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0) {
            ++c.damaged; // the last record, cut short
            break;
        }
        const QByteArrayView line(bytes.constData() + at, end - at);
        at = end + 1;
        c.wholeBytes = at;
        if (!parseRecord(line, &r)) {
            ++c.damaged;
            continue;
        }
        bool ok = true, each = true;
        CurveSetup setup;
        switch (r.type) {
        case 'H':
            c.started = QDateTime::fromString(r.text(1), Qt::ISODateWithMs);
            decimalPoint = r.text(2).isEmpty() ? QChar() : r.text(2).at(0);
            break;
        case 'A':
        case 'B':
            (r.type == 'A' ? c.a : c.b).append(r.text(0));
            ++unsaved[r.type == 'A' ? 0 : 1];
            break;
        case 'E': {
            const QString channel = r.text(0);
            const double count = r.number(1, &ok);
            const QString text = r.text(2);
            QStringList lines = count == 0 ? QStringList() : text.split(QLatin1Char('\n'));
            ok = ok && (channel == QLatin1String("A") || channel == QLatin1String("B"))
                 && count == double(lines.size());
            if (ok) {
                const int ch = channel == QLatin1String("A") ? 0 : 1;
                // What the user changed by hand is all unsaved.
                unsaved[ch] = int(lines.size());
                (ch == 0 ? c.a : c.b) = std::move(lines);
            }
            break;
        }
        case 'P': {
            const int curve = int(r.number(0, &ok));
            const double value = r.number(1, &each);
            ok = ok && each && curve >= 0 && curve < JournalCurves;
            const QRgb colour = r.hex(2, &each);
            if (ok && each)
                c.curves[size_t(curve)].push_back({value, r.text(3), colour});
            ok = ok && each;
            break;
        }
        case 'X':
            for (auto &curve : c.curves)
                curve.clear();
            break;
        case 'R':
            if ((ok = r.setup(0, &setup)))
                rebuildCurves(c, setup, decimalPoint);
            break;
        case 'F': {
            if (!(ok = r.setup(0, &setup)))
                break;
            c.openedFile = r.text(5);
            QFile f(c.openedFile);
            c.openedFileMissing = !f.open(QIODevice::ReadOnly);
            const DataFileLogs logs = splitLogs(decodeDataFile(c.openedFileMissing ? QByteArray() : f.readAll()));
            c.a = logs.a + c.a;
            c.b = logs.b + c.b;
            rebuildCurves(c, setup, decimalPoint);
            break;
        }
        case 'W':
            unsaved[0] = unsaved[1] = 0;
            break;
        case 'T':
            c.startTime = r.number(0, &ok);
            c.timeOffset = r.number(1, &each);
            c.startShown = r.text(2);
            c.hasChargeStart = ok = ok && each;
            break;
        case 'L':
            c.linkLog += r.text(0);
            break;
        default:
            ok = false;
        }
        if (!ok)
            ++c.damaged;
    }
    c.unsavedLines = unsaved[0] + unsaved[1];
    return c;
}

LeftoverFate leftoverFate(const JournalContent &content, bool oneRestored)
{
    if (content.unsavedLines == 0 && content.damaged == 0)
        return LeftoverFate::Remove;
    if (oneRestored || content.unsavedLines == 0)
        return LeftoverFate::SetAside;
    return LeftoverFate::Offer;
}

void JournalFollower::caughtUp(qsizetype linkLogSize, const ChargeStart &start)
{
    linkLogTaken_ = linkLogSize;
    start_ = start;
}

void JournalFollower::startedAgain(qsizetype linkLogSize)
{
    caughtUp(linkLogSize, {});
}

QByteArray JournalFollower::news(const QString &linkLog, const ChargeStart &start)
{
    QByteArray out;
    if (linkLog.size() < linkLogTaken_) // the log was begun again
        linkLogTaken_ = linkLog.size();
    if (linkLog.size() > linkLogTaken_) {
        out += JournalRecord::linkLog(linkLog.mid(linkLogTaken_));
        linkLogTaken_ = linkLog.size();
    }
    if (!(start == start_)) {
        out += JournalRecord::chargeStart(start.startTime, start.timeOffset, start.shown);
        start_ = start;
    }
    return out;
}
