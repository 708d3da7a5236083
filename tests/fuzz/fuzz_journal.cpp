// The crash journal read back: any bytes, torn and scribbled records, a
// named data file that is not there. Records written for any text come back
// as they were.

#include "charts/journal.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const JournalContent c = replayJournal(bytes);
    if (c.wholeBytes < 0 || c.wholeBytes > bytes.size())
        std::abort();
    // The input as a log line and a point label: written, it reads back.
    const QString text = QString::fromUtf8(bytes);
    const JournalContent back =
        replayJournal(JournalRecord::line('B', text) + JournalRecord::point(2, {double(size) / 3, text, 0xff102030}));
    if (back.b != QStringList{text} || back.curves[2].size() != 1 || back.curves[2][0].label != text
        || back.curves[2][0].value != double(size) / 3 || back.damaged != 0)
        std::abort();
    return 0;
}
