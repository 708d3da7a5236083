// The "Вид" menu's colour items, the colour labels and the colour window's
// opening.

#include "app/TfmMain.h"
#include "charts/UnitColor.h"
#include "charts/engine/chart.h"
#include "charts/colours.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "app/widgets.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>

void TfmMain::buildViewMenu()
{
    QMenu *view = new QMenu(QStringLiteral("Вид"), MainMenu1);
    MainMenu1->insertMenu(MainMenu1->actions().value(1), view);
    auto add = [view](const char *name, const QString &caption) {
        QAction *a = view->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    NAU = add("NAU", QStringLiteral("Цвет графика A(U)"));
    NAT = add("NAT", QStringLiteral("Цвет графика A(T°C)"));
    NBU = add("NBU", QStringLiteral("Цвет графика B(U)"));
    NBT = add("NBT", QStringLiteral("Цвет графика B(T°C)"));
    view->addSeparator();
    NGradientVisible = add("NGradientVisible", QStringLiteral("Градиент"));
    NGradientVisible->setCheckable(true);
    NFormColor = add("NFormColor", QStringLiteral("Цвета"));
    NFormColor->setCheckable(true);
    view->addSeparator();
    NNotices = add("NNotices", QStringLiteral("Уведомления о заряде"));
    NNotices->setCheckable(true);
    NNotices->setChecked(true);
}

void TfmMain::connectColourHandlers()
{
    const std::pair<QAction *, TLabel *> items[] = {
        {NAU, LabelColor_AU}, {NAT, LabelColor_AT}, {NBU, LabelColor_BU}, {NBT, LabelColor_BT}};
    for (const auto &[action, label] : items) {
        connectHandler(action, &QAction::triggered, this, [this, label = label] { LabelColor_AUClick(label); });
        connectHandler(label, &TLabel::clicked, this, [this, label = label] { LabelColor_AUClick(label); });
    }
    connectHandler(NGradientVisible, &QAction::triggered, this, [this] { NGradientVisibleClick(); });
    connectHandler(NFormColor, &QAction::triggered, this, [this] { NFormColorClick(); });
}

void TfmMain::LabelColor_AUClick(QLabel *label)
{
    const QColor chosen = Dialogs::instance().color(this, fontColor(label));
    if (!chosen.isValid())
        return;
    setFontColor(label, chosen);
    seriesColoursFromLabels();
    Chart1->update();
}

void TfmMain::seriesColoursFromLabels()
{
    for (const Curve &c : curves_)
        c.series->style.colour = fontColor(c.colour);
}

void TfmMain::NGradientVisibleClick()
{
    const bool on = NGradientVisible->isChecked();
    applyGradient(on);
    if (!on) {
        Chart1->LeftAxis.labelColor = QColor(255, 0, 0);
        Chart1->BottomAxis.labelColor = palette().color(QPalette::WindowText);
        Chart1->RightAxis.labelColor = palette().color(QPalette::WindowText);
    }
}

void TfmMain::NFormColorClick()
{
    if (!NFormColor->isChecked()) {
        if (FormColor)
            FormColor->close();
        return;
    }
    // The gradient comes on with the colours the chart has now; the stored
    // scheme is applied only by the "Градиент" switch.
    NGradientVisible->setChecked(true);
    Chart1->GradientVisible = true;
    Chart1->update();
    PageControl1->setCurrentWidget(TabSheet1);
    FormColor = new TFormColor(this, Chart1);
    connect(FormColor, &TFormColor::closed, this, [this] { NFormColor->setChecked(false); });
}
