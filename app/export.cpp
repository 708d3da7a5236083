// Exporting the record for other programs: the chart as a metafile, PNG,
// SVG or PDF picture, and both logs as a CSV table, chosen by the save
// dialog's kind.

#include "app/TfmMain.h"

#include "charts/engine/chart.h"
#include "charts/exports.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "app/widgets.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QToolButton>

void TfmMain::withLegend(const std::function<void()> &draw)
{
    for (const Curve &c : curves_)
        c.series->style.showInLegend = c.view->isChecked();
    // The legend is for the picture only, whether the write works or not.
    struct LegendOff
    {
        const std::vector<ChartSeries *> &all;
        ~LegendOff()
        {
            for (ChartSeries *s : all)
                s->style.showInLegend = false;
        }
    } off{Chart1->seriesList()};
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
    bool written = true;
    switch (exportFormatOf(path)) {
    case ExportFormat::Csv: {
        QSaveFile f(path);
        const QByteArray bytes = csvOfLogs(Memo1->lines(), Memo2->lines());
        written = f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
        break;
    }
    case ExportFormat::Png:
        withLegend([&] { written = exportChartPng(*Chart1, path); });
        break;
    case ExportFormat::Svg:
        withLegend([&] { written = exportChartSvg(*Chart1, path); });
        break;
    case ExportFormat::Pdf:
        withLegend([&] { written = exportChartPdf(*Chart1, path); });
        break;
    case ExportFormat::Metafile:
        withLegend([&] { Chart1->saveToMetafile(path); });
        break;
    }
    if (!written)
        dialogs.message(this, QStringLiteral("Не удалось записать файл: ") + path, Dialogs::Icon::Warning);
}
