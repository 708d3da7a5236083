// The data-file reader: bytes as Windows-1251 or UTF-8, the split at the
// channel marker, the curves rebuilt from each channel, the summaries and
// the CSV table; the logs written out again. The lines must be split as a
// plain regular expression splits them.

#include "charts/chargesummary.h"
#include "charts/chartlines.h"
#include "charts/datafile.h"
#include "charts/columns.h"

#include <QCoreApplication>
#include <QRegularExpression>

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
    const QString text = decodeDataFile(bytes);
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList expected = text.split(breaks);
    if (expected.back().isEmpty())
        expected.pop_back();
    if (splitLines(text) != expected)
        std::abort();
    const DataFileLogs logs = splitLogs(text);
    for (const QStringList *log : {&logs.a, &logs.b}) {
        curvesFromLog(*log, true, true);
        chargeSummaries(*log);
    }
    csvOfLogs(logs.a, logs.b);
    joinLogs(logs.a, logs.b);
    return 0;
}
