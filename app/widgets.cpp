#include "app/widgets.h"

#include <QMouseEvent>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

void TLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
}

void TLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    // A click is a press and a release on the label, as with any button.
    const bool click = pressed_ && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        pressed_ = false;
    if (click)
        emit clicked();
}

void TLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

TUpDown::TUpDown(QWidget *parent, const char *name, const char *editName, int min, int max,
                 int position)
    : QSpinBox(parent)
{
    setObjectName(QLatin1String(name));
    lineEdit()->setObjectName(QLatin1String(editName));
    setRange(min, max);
    setValue(position);
    // A current such as 1000 must stay readable as an integer.
    setGroupSeparatorShown(false);
    connect(this, &QSpinBox::valueChanged, this, [this] {
        if (clamped_)
            clearMark();
    });
}

void TUpDown::setPositionFromDevice(int v, bool equivalent)
{
    const int kept = std::clamp(v, minimum(), maximum());
    if (clamped_)
        clearMark();
    setValue(kept);
    if (kept != v && !equivalent) {
        clamped_ = true;
        hint_ = toolTip();
        setToolTip(QStringLiteral("Прибор вернул %1, поле допускает %2..%3")
                       .arg(v).arg(minimum()).arg(maximum()));
        QPalette p = palette();
        p.setColor(QPalette::Base, QColor(255, 255, 128));
        setPalette(p);
    }
}

void TUpDown::clearMark()
{
    clamped_ = false;
    setToolTip(hint_);
    setPalette(QPalette());
}

int integerOf(const QLineEdit *edit)
{
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid integer value").arg(edit->text()).toStdString());
    return v;
}

QColor fontColor(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

void setFontColor(QWidget *w, QColor c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

LogMemo::LogMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A log is appended to for hours; an undo history would keep a second
    // copy of everything it ever received.
    setUndoRedoEnabled(false);
    // The form was drawn for an 8-point font: at that size a measurement line
    // fits the memo's width at the window's design size.
    QFont f = font();
    f.setPointSize(8);
    // The lines are digits, Latin and Cyrillic, which need no shaping
    // engine; without it a fast log lays out its new lines at a fraction of
    // the cost.
    f.setStyleStrategy(QFont::PreferNoShaping);
    setFont(f);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushInterval);
    connect(&flushTimer_, &QTimer::timeout, this, &LogMemo::flush);
    // A user who deletes every character leaves no line, as a log that was
    // never written to.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (ownEdit_)
            return;
        noLine_ = document()->isEmpty();
        emit editedByHand();
        emit rewritten();
    });
}

void LogMemo::addLine(const QString &line)
{
    pending_.append(line);
    if (ownFlushTimer_ && !flushTimer_.isActive())
        flushTimer_.start();
}

int LogMemo::lineCount() const
{
    return (holdsNoLine() ? 0 : document()->blockCount()) + int(pending_.size());
}

QStringList LogMemo::lines() const
{
    const_cast<LogMemo *>(this)->flush();
    if (holdsNoLine())
        return {};
    return toPlainText().split(QLatin1Char('\n'));
}

QString LogMemo::text() const
{
    const_cast<LogMemo *>(this)->flush();
    return toPlainText();
}

void LogMemo::flush()
{
    flushTimer_.stop();
    if (pending_.isEmpty())
        return;
    // One edit for the whole batch: the layout and the scroll bar are updated
    // once rather than per line. The view follows new lines only when the
    // user has not scrolled away from the end.
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    QString batch;
    if (!holdsNoLine())
        batch += QLatin1Char('\n');
    batch += pending_.join(QLatin1Char('\n'));
    pending_.clear();
    ownEdit_ = true;
    cursor.insertText(batch);
    cursor.endEditBlock();
    ownEdit_ = false;
    noLine_ = false;
    if (atEnd)
        bar->setValue(bar->maximum());
}

bool LogMemo::isModified() const
{
    const_cast<LogMemo *>(this)->flush();
    return document()->isModified();
}

void LogMemo::setModified(bool modified)
{
    flush();
    document()->setModified(modified);
}

void LogMemo::setLines(const QStringList &lines)
{
    fillLogs({{this, lines}});
}

void LogMemo::setText(QTextDocument *text, qsizetype lines)
{
    noLine_ = lines == 0;
    pending_.clear();
    flushTimer_.stop();
    // The editor deletes only the document it made itself; the log's own
    // ones are deleted here as soon as they are replaced.
    QTextDocument *const replaced = document();
    const bool ours = replaced && replaced->parent() == this;
    text->setParent(this);
    ownEdit_ = true;
    setDocument(text);
    ownEdit_ = false;
    if (ours)
        delete replaced;
    emit rewritten();
}

namespace {

// Below this many lines a thread costs more than it saves.
constexpr qsizetype ThreadedFillLines = 4096;

QTextDocument *logDocument(const QStringList &lines, const QFont &font)
{
    auto *doc = new QTextDocument;
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(font);
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setPlainText(lines.join(QLatin1Char('\n')));
    return doc;
}

} // namespace

void fillLogs(QList<LogFill> logs, const std::function<void()> &meanwhile)
{
    std::vector<std::unique_ptr<QTextDocument>> docs(size_t(logs.size()));
    std::vector<std::thread> builders;
    // Whatever happens here, the builders are waited for before their
    // documents go (with their slots) out of scope.
    struct JoinAll
    {
        std::vector<std::thread> &threads;
        void operator()()
        {
            for (std::thread &t : threads)
                if (t.joinable())
                    t.join();
        }
        ~JoinAll() { (*this)(); }
    } joinAll{builders};
    QThread *const here = QThread::currentThread();
    for (qsizetype i = 0; i < logs.size(); ++i) {
        if (logs[i].lines.size() < ThreadedFillLines)
            continue;
        builders.emplace_back([slot = &docs[size_t(i)], here, lines = logs[i].lines, font = logs[i].memo->font()] {
            slot->reset(logDocument(lines, font));
            (*slot)->moveToThread(here);
        });
    }
    for (qsizetype i = 0; i < logs.size(); ++i)
        if (logs[i].lines.size() < ThreadedFillLines)
            docs[size_t(i)].reset(logDocument(logs[i].lines, logs[i].memo->font()));
    if (meanwhile)
        meanwhile();
    joinAll();
    // The lines are in the documents now. Let go of them first: putting a
    // document in place lays out each of its lines, and those layouts then
    // take the lines' memory rather than heap above it.
    std::vector<qsizetype> counts;
    for (LogFill &fill : logs) {
        counts.push_back(fill.lines.size());
        fill.lines = QStringList();
    }
    for (qsizetype i = 0; i < logs.size(); ++i)
        logs[i].memo->setText(docs[size_t(i)].release(), counts[size_t(i)]);
}

void LogMemo::clear()
{
    setLines({});
}
