#include "serial/CPortSetup.h"

#include "platform/messages.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

QString cportText(const char *text)
{
    return Messages::text("cport", QLatin1String(text));
}

} // namespace

TComSetupFrm::TComSetupFrm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ComSetupFrm"));
    setWindowTitle(cportText("Setup"));
    setFixedSize(231, 216);
    // The layout is drawn for an 11-pixel font.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    GroupBox1 = new QGroupBox(cportText(" Settings "), this);
    GroupBox1->setGeometry(8, 8, 217, 169);
    QLabel **labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6};
    TComComboBox **combos[] = {&Combo1, &Combo2, &Combo3, &Combo4, &Combo5, &Combo6};
    const char *texts[] = {"Port", "Baud rate", "Data bits", "Stop bits", "Parity", "Flow control"};
    const TComProperty properties[] = {cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl};
    for (int i = 0; i < 6; ++i) {
        *labels[i] = new QLabel(cportText(texts[i]), GroupBox1);
        (*labels[i])->setGeometry(8, 24 + 24 * i - 4, 70, 16);
        auto *combo = new TComComboBox(GroupBox1);
        combo->setObjectName(QStringLiteral("Combo%1").arg(i + 1));
        combo->setGeometry(80, 16 + 24 * i, 129, 21);
        combo->setComProperty(properties[i]);
        *combos[i] = combo;
    }
    Button1 = new QPushButton(cportText("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(70, 184, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(cportText("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(150, 184, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, Combo3);
    setTabOrder(Combo3, Combo4);
    setTabOrder(Combo4, Combo5);
    setTabOrder(Combo5, Combo6);
    setTabOrder(Combo6, Button1);
    setTabOrder(Button1, Button2);
}

void ShowPortSetup(TCustomComPort &port)
{
    TComSetupFrm form;
    TComComboBox *combos[] = {form.Combo1, form.Combo2, form.Combo3, form.Combo4, form.Combo5, form.Combo6};
    for (TComComboBox *c : combos)
        c->setComPort(&port);
    for (TComComboBox *c : combos)
        c->UpdateSettings();
    if (form.exec() != QDialog::Accepted)
        return;
    port.BeginUpdate();
    try {
        for (TComComboBox *c : combos)
            c->ApplySettings();
    } catch (...) {
        port.EndUpdate();
        throw;
    }
    port.EndUpdate();
}
