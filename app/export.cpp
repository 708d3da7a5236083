// Exporting the record for other programs: the chart as a metafile, PNG,
// SVG or PDF picture, and both logs as a CSV table, chosen by the save
// dialog's kind.

#include "app/TfmMain.h"

#include "charts/engine/chart.h"
#include "charts/columns.h"
#include "charts/exports.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/filewrite.h"
#include "app/widgets.h"

#include <QFileInfo>
#include <QToolButton>

void TfmMain::withLegend(const std::function<void()> &draw)
{
    // The live curves' legend is for the picture only, whether the write
    // works or not; a kept charge's entry stays as it was.
    for (const Curve &c : curves_)
        c.series->style.showInLegend = c.view->isChecked();
    struct LegendOff
    {
        const std::array<Curve, 4> &curves;
        ~LegendOff()
        {
            for (const Curve &c : curves)
                c.series->style.showInLegend = false;
        }
    } off{curves_};
    draw();
}

void TfmMain::NExportClick()
{
    Dialogs &dialogs = Dialogs::instance();
    QString path = dialogs.saveFileName(
        this, Clock::now().date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".emf"),
        QStringLiteral("Метафайл (*.emf);;Рисунок PNG (*.png);;Рисунок SVG (*.svg);;Документ PDF (*.pdf);;"
                       "Таблица CSV (*.csv)"),
        QStringLiteral("emf"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".emf");
    if (QFileInfo::exists(path)
        && dialogs.question(this, QStringLiteral("Такой файл есть.  Продолжить?"), QMessageBox::Yes | QMessageBox::No,
                            QStringLiteral("Совпадение имен."))
               != QMessageBox::Yes)
        return;
    QByteArray bytes;
    switch (exportFormatOf(path)) {
    case ExportFormat::Csv:
        bytes = csvOfLogs(Memo1->lines(), Memo2->lines());
        break;
    case ExportFormat::Png:
        withLegend([&] { bytes = chartPng(*Chart1); });
        break;
    case ExportFormat::Svg:
        withLegend([&] { bytes = chartSvg(*Chart1); });
        break;
    case ExportFormat::Pdf:
        withLegend([&] { bytes = chartPdf(*Chart1); });
        break;
    case ExportFormat::Metafile:
        withLegend([&] { bytes = Chart1->metafile(); });
        break;
    }
    if (bytes.isEmpty()) {
        dialogs.message(this, QStringLiteral("Не удалось записать файл %1: рисунок не построен.").arg(path),
                        Dialogs::Icon::Warning);
        return;
    }
    try {
        writeWholeFile(path, bytes);
    } catch (const FileWriteError &e) {
        dialogs.message(this, QString::fromUtf8(e.what()), Dialogs::Icon::Warning);
    }
}
