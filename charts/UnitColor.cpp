#include "charts/UnitColor.h"

#include "charts/engine/chart.h"
#include "charts/colours.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "platform/named.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>

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
            *stored = colorValue(chosen);
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
