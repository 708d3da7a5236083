#include "CPortSetup.h"

#include "messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cerrno>

namespace {

QString &deviceRoot()
{
    static QString root;
    return root;
}

QString cportText(const char *text)
{
    return Messages::text("cport", QLatin1String(text));
}

} // namespace

void setSerialDeviceRoot(const QString &root)
{
    deviceRoot() = root;
}

void ListSerialPorts(QStringList &list)
{
    const QDir root(deviceRoot().isEmpty() ? QStringLiteral("/sys/class/tty") : deviceRoot());
    if (!root.exists())
        throw EComPort(23, ENOENT);
    QStringList ports;
    for (const QString &name : root.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString device = root.filePath(name + QStringLiteral("/device"));
        // Consoles and pseudo-terminals have no device behind them; Bluetooth
        // serial links (rfcomm) are virtual too but are real ports.
        if (!QFileInfo::exists(device) && !name.startsWith(QLatin1String("rfcomm")))
            continue;
        // Serial-core drivers (8250 and the like) register every legacy port
        // they might find; one that answered nothing has the port type 0.
        QFile type(root.filePath(name + QStringLiteral("/type")));
        if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
            continue;
        ports << name;
    }
    std::sort(ports.begin(), ports.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    list = ports;
}

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

void TCustomComPort::ShowPortSetup()
{
    TComSetupFrm form;
    TComComboBox *combos[] = {form.Combo1, form.Combo2, form.Combo3, form.Combo4, form.Combo5, form.Combo6};
    for (TComComboBox *c : combos)
        c->setComPort(this);
    for (TComComboBox *c : combos)
        c->UpdateSettings();
    if (form.exec() != QDialog::Accepted)
        return;
    BeginUpdate();
    try {
        for (TComComboBox *c : combos)
            c->ApplySettings();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}
