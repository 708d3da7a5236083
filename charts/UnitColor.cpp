#include "UnitColor.h"

#include "TfmMain.h"
#include "chart.h"
#include "colours.h"
#include "dialogs.h"
#include "errorreport.h"
#include "widgets.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

TFormColor::TFormColor(QWidget *owner, TChart *chart) : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint), chart_(chart)
{
    setObjectName(QStringLiteral("FormColor"));
    setWindowTitle(QStringLiteral("Цвета"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *gradient = new QGroupBox(QStringLiteral("Градиент"), this);
    auto *scales = new QGroupBox(QStringLiteral("Шкалы"), this);
    // Each button: what it shows first in the colour dialog, where the chosen
    // colour goes on the chart, and which stored value keeps it.
    auto button = [this](QGroupBox *box, const char *name, const QString &caption,
                         QColor TChart::*colour, TChart::Axis TChart::*axis, qint32 *stored) {
        auto *b = make<QPushButton>(box, name, caption);
        b->setFixedSize(41, 22);
        box->layout()->addWidget(b);
        connectHandler(b, &QPushButton::clicked, this, [this, colour, axis, stored] {
            QColor &target = colour ? chart_->*colour : (chart_->*axis).labelColor;
            const QColor chosen = Dialogs::instance().color(this, target);
            if (!chosen.isValid())
                return;
            target = chosen;
            *stored = ColorValue(chosen);
            chart_->update();
        });
        return b;
    };
    for (QGroupBox *box : {gradient, scales}) {
        auto *row = new QHBoxLayout(box);
        row->setContentsMargins(4, 2, 4, 2);
    }
    BtnEndColor = button(gradient, "BtnEndColor", QStringLiteral("Верх"), &TChart::GradientEndColor, nullptr, &ColorEndGradient);
    BtnSartColor = button(gradient, "BtnSartColor", QStringLiteral("Низ"), &TChart::GradientStartColor, nullptr, &ColorStartGradient);
    BtnWallColor = button(gradient, "BtnWallColor", QStringLiteral("Wall"), &TChart::LeftWallColor, nullptr, &ColorWall);
    BtnColorTemp = button(scales, "BtnColorTemp", QStringLiteral("Темп."), nullptr, &TChart::LeftAxis, &ColorLabelLeft);
    BtnColorTime = button(scales, "BtnColorTime", QStringLiteral("Время"), nullptr, &TChart::BottomAxis, &ColorLabelBottom);
    BtnColorU = button(scales, "BtnColorU", QStringLiteral("Напр."), nullptr, &TChart::RightAxis, &ColorLabelRicht);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->addWidget(gradient);
    layout->addWidget(scales);
    adjustSize();
    setFixedSize(size());
    if (owner)
        move(owner->geometry().center() - rect().center());
    show();
}

void TFormColor::changeEvent(QEvent *event)
{
    // Opaque while in use, see-through while the user works in the chart.
    if (event->type() == QEvent::ActivationChange)
        setWindowOpacity(isActiveWindow() ? 1.0 : 100 / 255.0);
    QWidget::changeEvent(event);
}

void TFormColor::closeEvent(QCloseEvent *event)
{
    emit closed();
    QWidget::closeEvent(event);
}

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
    SeriesColoursFromLabels();
    Chart1->update();
}

void TfmMain::SeriesColoursFromLabels()
{
    for (const Curve &c : curves_)
        c.series->style.colour = fontColor(c.colour);
}

void TfmMain::NGradientVisibleClick()
{
    const bool on = NGradientVisible->isChecked();
    ApplyGradient(on);
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
