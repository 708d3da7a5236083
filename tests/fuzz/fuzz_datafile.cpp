// The data-file reader: bytes as Windows-1251 or UTF-8, the split at the
// channel marker, the curves rebuilt from each channel, the summaries and
// the CSV table; the logs written out again.

#include "charts/chargesummary.h"
#include "charts/chartlines.h"
#include "charts/datafile.h"
#include "charts/exports.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const DataFileLogs logs = splitLogs(decodeDataFile(bytes));
    for (const QStringList *log : {&logs.a, &logs.b}) {
        curvesFromLog(*log, true, true);
        chargeSummaries(*log);
    }
    csvOfLogs(logs.a, logs.b);
    joinLogs(logs.a, logs.b);
    return 0;
}
