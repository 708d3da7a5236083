#include "TfmMain.h"

#include <QTabWidget>

TfmMain::TfmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Ostrel"));
    resize(638, 568);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto addPage = [this](QWidget *&page, const char *name, const QString &caption) {
        page = new QWidget(PageControl1);
        page->setObjectName(QLatin1String(name));
        PageControl1->addTab(page, caption);
    };
    addPage(TabStatis, "TabStatis", QStringLiteral("Статистика"));
    addPage(TabSheet1, "TabSheet1", QStringLiteral("Графики"));
    addPage(TabSetup, "TabSetup", QStringLiteral("Настройки"));
    setCentralWidget(PageControl1);
}
