// The channel log as a user meets it (typing, selecting, copying, the
// screen following new lines, a screen reader) and the store under it.

#include "app/logmemo.h"
#include "charts/linestore.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// A random line: empty, ASCII, Cyrillic, or now and then far longer than
// any other.
QString randomLine(QRandomGenerator &rng)
{
    static const QString alphabet = QStringLiteral("0123456789:;,. ADCUTабвгдЁёжз");
    const int kind = int(rng.bounded(20));
    const int length = kind == 0 ? 0 : kind == 1 ? int(rng.bounded(300)) : int(rng.bounded(40));
    QString s;
    for (int i = 0; i < length; ++i)
        s += alphabet[int(rng.bounded(alphabet.size()))];
    return s;
}

QStringList randomLines(QRandomGenerator &rng, int most)
{
    QStringList out;
    for (int i = int(rng.bounded(most + 1)); i > 0; --i)
        out << randomLine(rng);
    return out;
}

// Types as a keyboard layout does, character by character, Cyrillic too.
void type(QWidget *w, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

LogMemo::Position position(qsizetype line, qsizetype column)
{
    return {line, column};
}

} // namespace

class TestLogMemo : public QObject
{
    Q_OBJECT

private slots:
    // Random appends and edits across pieces, compared after each with a
    // plain list of lines: every read of the store agrees with it.
    void storeAgreesWithAList()
    {
        QRandomGenerator rng(7);
        LineStore store;
        QStringList oracle;
        for (int step = 0; step < 300; ++step) {
            if (rng.bounded(3) == 0) {
                const QStringList added = randomLines(rng, 3000);
                store.append(added);
                oracle += added;
            } else if (rng.bounded(10) == 0) {
                store.clear();
                oracle.clear();
            } else {
                const qsizetype first = rng.bounded(int(oracle.size()) + 1);
                const qsizetype count = rng.bounded(int(std::min<qsizetype>(oracle.size() - first, 5000)) + 1);
                const QStringList with = randomLines(rng, rng.bounded(4) == 0 ? 5000 : 3);
                store.replace(first, count, with);
                oracle = oracle.mid(0, first) + with + oracle.mid(first + count);
            }
            QCOMPARE(store.size(), oracle.size());
            if (step % 10 == 0)
                QCOMPARE(store.lines(), oracle);
            const QString text = oracle.join(QLatin1Char('\n'));
            QCOMPARE(store.text(), text);
            qsizetype longest = -1, length = -1;
            for (qsizetype i = 0; i < oracle.size(); ++i)
                if (oracle[i].size() > length) {
                    length = oracle[i].size();
                    longest = i;
                }
            QCOMPARE(store.longestLine(), longest);
            for (int probe = 0; probe < 20 && !oracle.isEmpty(); ++probe) {
                const qsizetype i = rng.bounded(int(oracle.size()));
                QCOMPARE(store.line(i), oracle[i]);
                const qsizetype count = rng.bounded(50);
                QCOMPARE(store.lines(i, count), oracle.mid(i, count));
                qsizetype before = 0;
                for (qsizetype j = 0; j < i; ++j)
                    before += oracle[j].size();
                QCOMPARE(store.charactersBefore(i), before);
                // An offset into the text: its line is the number of breaks
                // before it, its column the distance from the last break.
                const qsizetype offset = rng.bounded(int(text.size()) + 1);
                const qsizetype line = text.left(offset).count(QLatin1Char('\n'));
                const qsizetype column = offset - (text.lastIndexOf(QLatin1Char('\n'), offset - 1) + 1);
                QCOMPARE(store.positionAt(offset), (std::pair{line, offset == 0 ? 0 : column}));
            }
        }
    }

    void typingAndDeleting()
    {
        LogMemo memo;
        memo.show();
        memo.setLines({QStringLiteral("abc"), QStringLiteral("def")});
        QVERIFY(!memo.isModified());
        QSignalSpy edited(&memo, &LogMemo::editedByHand);
        QSignalSpy rewritten(&memo, &LogMemo::rewritten);
        memo.setFocus();
        memo.moveCursor(QTextCursor::End);
        QTest::keyClicks(&memo, QStringLiteral("gh"));
        QTest::keyClick(&memo, Qt::Key_Return);
        type(&memo, QStringLiteral("Ёж 1,5"));
        QCOMPARE(memo.lines(), (QStringList{"abc", "defgh", QStringLiteral("Ёж 1,5")}));
        QVERIFY(memo.isModified());
        QVERIFY(edited.count() > 0);
        QCOMPARE(edited.count(), rewritten.count());

        // Backspace over the break joins the lines; Delete at a line's end
        // joins the next one.
        for (int i = 0; i < 7; ++i)
            QTest::keyClick(&memo, Qt::Key_Backspace);
        QCOMPARE(memo.lines(), (QStringList{"abc", "defgh"}));
        QCOMPARE(memo.cursorPosition(), position(1, 5));
        QTest::keyClick(&memo, Qt::Key_Up);
        QTest::keyClick(&memo, Qt::Key_End);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(memo.lines(), QStringList{"abcdefgh"});
        QTest::keyClick(&memo, Qt::Key_Home);
        QTest::keyClick(&memo, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&memo, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClicks(&memo, QStringLiteral("X"));
        QCOMPARE(memo.lines(), QStringList{"Xcdefgh"});

        // Deleting everything leaves no line; typing makes one again.
        QTest::keyClick(&memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(memo.lineCount(), 0);
        QCOMPARE(memo.lines(), QStringList());
        QTest::keyClicks(&memo, QStringLiteral("n"));
        QCOMPARE(memo.lines(), QStringList{"n"});
        // A line that comes after typing follows it.
        memo.addLine(QStringLiteral("00:00:01"));
        QCOMPARE(memo.lines(), (QStringList{"n", "00:00:01"}));
    }

    void selectingAndCopying()
    {
        LogMemo memo;
        memo.resize(400, 300);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        memo.setLines({QStringLiteral("00:00:01    ADC=520    U=1,3000"), QStringLiteral("Старт."),
                       QStringLiteral("END:  Конец заряда.")});
        memo.setFocus();
        QClipboard *clipboard = QApplication::clipboard();

        // Keys: a word, then to the end of the next line.
        QTest::keyClick(&memo, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(memo.selectedText(), QStringLiteral("00:"));
        QTest::keyClick(&memo, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&memo, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(&memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("00:00:01    ADC=520    U=1,3000\nСтарт."));
        // Left collapses the selection to its start.
        QTest::keyClick(&memo, Qt::Key_Left);
        QVERIFY(!memo.hasSelection());
        QCOMPARE(memo.cursorPosition(), position(0, 0));

        // The mouse: a drag over the second and third lines' starts, a
        // double click on a word, a shift-click extending.
        QWidget *view = memo.viewport();
        const QRect second = memo.characterRect(position(1, 0));
        const QRect third = memo.characterRect(position(2, 4));
        QTest::mousePress(view, Qt::LeftButton, {}, second.center() - QPoint(second.width() / 2, 0));
        QTest::mouseMove(view, third.topLeft() + QPoint(1, third.height() / 2));
        QTest::mouseRelease(view, Qt::LeftButton, {}, third.topLeft() + QPoint(1, third.height() / 2));
        QCOMPARE(memo.selectedText(), QStringLiteral("Старт.\nEND:"));
        const QRect word = memo.characterRect(position(2, 8));
        QTest::mouseDClick(view, Qt::LeftButton, {}, word.center());
        QCOMPARE(memo.selectedText(), QStringLiteral("Конец"));
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, memo.characterRect(position(2, 19)).topLeft() + QPoint(1, 2));
        QCOMPARE(memo.selectedText(), QStringLiteral("Конец заряда."));

        // Cut and paste: a pasted CR LF is a line break.
        QTest::keyClick(&memo, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(memo.line(2), QStringLiteral("END:  "));
        clipboard->setText(QStringLiteral("один\r\nдва"));
        memo.paste();
        QCOMPARE(memo.lines().mid(2), (QStringList{QStringLiteral("END:  один"), QStringLiteral("два")}));
        QCOMPARE(memo.cursorPosition(), position(3, 3));
    }

    // New lines show at the end while the user watches the end, and leave
    // the view alone once the user scrolled back; every read includes the
    // lines not yet shown.
    void followsTheEnd()
    {
        LogMemo memo;
        memo.resize(300, 200);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        QScrollBar *bar = memo.verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            memo.addLine(QStringLiteral("line %1").arg(i));
        QVERIFY(memo.hasPending());
        QCOMPARE(memo.lineCount(), 200);
        QCOMPARE(memo.lines().last(), QStringLiteral("line 199"));
        QTRY_VERIFY(!memo.hasPending()); // its own timer shows them
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        memo.addLine(QStringLiteral("one more"));
        memo.flush();
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(10);
        memo.addLine(QStringLiteral("and another"));
        memo.flush();
        QCOMPARE(bar->value(), 10);
        QCOMPARE(memo.lineCount(), 202);

        // A line of noise thousands of characters long: the view scrolls
        // to its end.
        QString noise;
        for (int i = 0; i < 4000; ++i)
            noise += QStringLiteral("%1 ").arg(i % 256, 2, 16, QLatin1Char('0'));
        memo.addLine(noise);
        memo.flush();
        memo.setFocus();
        memo.moveCursor(QTextCursor::End);
        QVERIFY(memo.horizontalScrollBar()->value() > 10000);
        QCOMPARE(memo.horizontalScrollBar()->value(), memo.horizontalScrollBar()->maximum());
        memo.repaint();
    }

    // The view keeps following the end when its size changes and when the
    // user types while lines wait to be shown; an edit shows those lines
    // first, so nothing counts them twice.
    void keepsFollowing()
    {
        LogMemo memo;
        memo.setFlushTimer(false);
        memo.resize(300, 300);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        QScrollBar *bar = memo.verticalScrollBar();
        for (int i = 0; i < 100; ++i)
            memo.addLine(QStringLiteral("line %1").arg(i));
        memo.flush();
        QCOMPARE(bar->value(), bar->maximum());
        memo.resize(300, 200);
        memo.addLine(QStringLiteral("after the resize"));
        memo.flush();
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(bar->maximum() > 80);

        memo.addLine(QStringLiteral("waiting"));
        memo.addLine(QStringLiteral("waiting too"));
        memo.setFocus();
        memo.setCursorPosition({0, 0});
        type(&memo, QStringLiteral(">"));
        QVERIFY(!memo.hasPending());
        QCOMPARE(memo.line(0), QStringLiteral(">line 0"));
        QCOMPARE(memo.lines().mid(101), (QStringList{"waiting", "waiting too"}));
        memo.moveCursor(QTextCursor::End);
        QCOMPARE(bar->value(), bar->maximum());
        memo.addLine(QStringLiteral("next"));
        memo.flush();
        QCOMPARE(bar->value(), bar->maximum());

        // Everything deleted while a line waits: the log is empty, then
        // takes the next line.
        memo.addLine(QStringLiteral("one more"));
        QTest::keyClick(&memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(memo.lineCount(), 0);
        memo.flush();
        memo.addLine(QStringLiteral("fresh"));
        memo.flush();
        QCOMPARE(memo.lines(), QStringList{"fresh"});
    }

    // Keys a text field leaves to the window, characters outside the basic
    // plane, and a double click on the last half of a word's last letter.
    void keysAndCharacters()
    {
        LogMemo memo;
        memo.resize(400, 200);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        memo.setLines({QStringLiteral("Конец заряда."), QString::fromUtf8("a\xF0\x9F\x94\x8B b")});
        memo.setFocus();
        QKeyEvent altA(QEvent::ShortcutOverride, Qt::Key_A, Qt::AltModifier, QStringLiteral("a"));
        QApplication::sendEvent(&memo, &altA);
        QVERIFY(!altA.isAccepted()); // a label's mnemonic, not the log's
        QTest::keyClick(&memo, Qt::Key_A, Qt::AltModifier);
        QCOMPARE(memo.line(0), QStringLiteral("Конец заряда."));

        // The battery sign is one character: the caret steps over it, and
        // a position between its halves is taken as the one before it.
        memo.setCursorPosition({1, 1});
        QTest::keyClick(&memo, Qt::Key_Right);
        QCOMPARE(memo.cursorPosition(), position(1, 3));
        memo.setCursorPosition({1, 2});
        QCOMPARE(memo.cursorPosition(), position(1, 1));
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(memo.line(1), QStringLiteral("a b"));

        const QRect last = memo.characterRect(position(0, 11)); // the last "а" of "заряда"
        QTest::mouseDClick(memo.viewport(), Qt::LeftButton, {}, QPoint(last.right() - 1, last.center().y()));
        QCOMPARE(memo.selectedText(), QStringLiteral("заряда"));
    }

    // A screen reader reads the text, follows the caret and selects.
    void screenReader()
    {
        LogMemo memo;
        memo.show();
        memo.setLines({QStringLiteral("Старт."), QStringLiteral("00:00:01    ADC=520"), QStringLiteral("END:")});
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&memo);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::EditableText);
        QVERIFY(face->state().multiLine && face->state().editable);
        QAccessibleTextInterface *text = face->textInterface();
        QVERIFY(text);
        const QString all = memo.text();
        QCOMPARE(text->characterCount(), all.size());
        QCOMPARE(text->text(0, text->characterCount()), all);
        QCOMPARE(text->text(4, 12), all.mid(4, 8));
        int start = 0, end = 0;
        QCOMPARE(text->textAtOffset(10, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("00:00:01    ADC=520\n"));
        QCOMPARE(start, 7);
        QCOMPARE(text->textAfterOffset(10, QAccessible::LineBoundary, &start, &end), QStringLiteral("END:"));
        QCOMPARE(text->textAtOffset(20, QAccessible::WordBoundary, &start, &end), QStringLiteral("ADC"));

        text->setCursorPosition(9);
        QCOMPARE(memo.cursorPosition(), position(1, 2));
        QCOMPARE(text->cursorPosition(), 9);
        text->setSelection(0, 7, 15);
        QCOMPARE(memo.selectedText(), QStringLiteral("00:00:01"));
        QCOMPARE(text->selectionCount(), 1);
        text->selection(0, &start, &end);
        QCOMPARE(std::pair(start, end), std::pair(7, 15));
        QCOMPARE(text->offsetAtPoint(memo.viewport()->mapToGlobal(memo.characterRect(position(2, 1)).topLeft() + QPoint(1, 2))), 28);

        QAccessibleEditableTextInterface *edit = face->editableTextInterface();
        QVERIFY(edit);
        edit->replaceText(7, 15, QStringLiteral("12:00:00"));
        QCOMPARE(memo.line(1), QStringLiteral("12:00:00    ADC=520"));
        QVERIFY(memo.isModified());
    }
};

QTEST_MAIN(TestLogMemo)
#include "tst_logmemo.moc"
