// The settings file zlt.ini: loading at start-up, saving on every close.

#include "app/TfmMain.h"

#include "serial/CPort.h"
#include "charts/engine/chart.h"
#include "charts/colours.h"
#include "platform/errorreport.h"
#include "platform/inifile.h"
#include "platform/programfolder.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QDir>
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QToolButton>

namespace {

const QString PageSetting = QStringLiteral("PageSetting");
const QString Chart = QStringLiteral("Chart");
const QString Port = QStringLiteral("ComPort1");
// Desktop notices came later than the other settings: a file without the
// section has them on.
const QString Notices = QStringLiteral("Notices");
// The colour value a colour label was loaded with.
const char *const StoredColour = "storedColourValue";

// The folder of the program may be read-only or not the user's (an
// installed program); the settings then live in the user's configuration
// folder, and until they have been saved there once, the program folder's
// file is read.
QString userSettingsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("zlt.ini"));
}

bool canWrite(const QString &path)
{
    const QFileInfo file(path);
    return file.exists() ? file.isWritable() : QFileInfo(file.absolutePath()).isWritable();
}

} // namespace

QString TfmMain::settingsPath(bool forWriting)
{
    const QString beside = QDir(programFolder()).filePath(QStringLiteral("zlt.ini"));
    // Beside the program only in a folder of the user's own: an installed
    // program run by root could write there, and must not.
    if (programFolderIsUsers() && canWrite(beside))
        return beside;
    const QString user = userSettingsPath();
    if (forWriting) {
        QDir().mkpath(QFileInfo(user).absolutePath());
        // The user's file starts as a copy of the program folder's, so what
        // the program reads but never writes ("Log") is kept.
        if (!QFileInfo::exists(user) && QFileInfo::exists(beside))
            QFile::copy(beside, user);
        return user;
    }
    return QFileInfo::exists(user) ? user : beside;
}

std::vector<std::pair<QString, TUpDown *>> TfmMain::storedParameters() const
{
    // The two fast currents are stored under each other's names, as files
    // written by every version of the program have them.
    return {{QStringLiteral("StepADC"), UpDStepADC},      {QStringLiteral("MhFastI"), UpDCdFast},
            {QStringLiteral("RezistorI"), UpDResistr},    {QStringLiteral("CdFastI"), UpDMhFast},
            {QStringLiteral("Tricle_MhI"), UpD_tricle_Mh}, {QStringLiteral("Tricle_CdI"), UpD_tricle_Cd},
            {QStringLiteral("TimeMh_hh"), UpDTimeMh_hh},   {QStringLiteral("TimeMh_mm"), UpDTimeMh_mm},
            {QStringLiteral("TimeCd_hh"), UpDTimeCd_hh},   {QStringLiteral("TimeCd_mm"), UpDTimeCd_mm},
            {QStringLiteral("MaxT"), UpDownMaxT},          {QStringLiteral("RostT"), UpDownRostT},
            {QStringLiteral("Rezdecharge"), UpDRdecharge}};
}

std::vector<std::pair<QString, QLabel *>> TfmMain::storedColourLabels() const
{
    return {{QStringLiteral("ColorGraf_AU"), LabelColor_AU},
            {QStringLiteral("ColorGraf_AT"), LabelColor_AT},
            {QStringLiteral("ColorGraf_BU"), LabelColor_BU},
            {QStringLiteral("ColorGraf_BT"), LabelColor_BT}};
}

std::vector<std::pair<QString, qint32 *>> TfmMain::storedColours()
{
    return {{QStringLiteral("ColorWall"), &ColorWall},
            {QStringLiteral("ColorStartGradient"), &ColorStartGradient},
            {QStringLiteral("ColorEndGradient"), &ColorEndGradient},
            {QStringLiteral("ColorLabelLeft"), &ColorLabelLeft},
            {QStringLiteral("ColorLabelBottom"), &ColorLabelBottom},
            {QStringLiteral("ColorLabelRicht"), &ColorLabelRicht}};
}

void TfmMain::LoadSettings()
{
    const QString path = settingsPath(false);
    const IniFile ini(path);
    for (const auto &[key, field] : storedParameters())
        field->setValue(ini.readInteger(PageSetting, key, field->value()));

    for (const auto &[key, label] : storedColourLabels()) {
        const qint32 value = ini.readInteger(Chart, key, colorValue(fontColor(label)));
        setFontColor(label, colorFromValue(value));
        label->setProperty(StoredColour, value);
    }
    for (const auto &[key, value] : storedColours())
        *value = ini.readInteger(Chart, key, *value);
    receiver.LogEnabled = ini.readBool(Port, QStringLiteral("Log"), false);

    seriesColoursFromLabels();

    NNotices->setChecked(ini.readBool(Notices, QStringLiteral("Enabled"), true));
    applyGradient(ini.readBool(Chart, QStringLiteral("Gradient"), false));
    if (ini.readBool(Chart, QStringLiteral("View2D"), false)) {
        btnView2D->setChecked(true);
        Chart1->setView3D(false);
    }
    runGuarded([&] { ComPort1->LoadSettings(stIniFile, path); });
    receiver.AdcStep = quint16(UpDStepADC->value());
}

void TfmMain::applyGradient(bool on)
{
    Chart1->GradientVisible = on;
    NGradientVisible->setChecked(on);
    if (on) {
        Chart1->LeftWallColor = colorFromValue(ColorWall);
        Chart1->GradientStartColor = colorFromValue(ColorStartGradient);
        Chart1->GradientEndColor = colorFromValue(ColorEndGradient);
        Chart1->LeftAxis.labelColor = colorFromValue(ColorLabelLeft);
        Chart1->BottomAxis.labelColor = colorFromValue(ColorLabelBottom);
        Chart1->RightAxis.labelColor = colorFromValue(ColorLabelRicht);
    } else {
        Chart1->LeftWallColor = Chart1->BackColor;
    }
    Chart1->update();
}

void TfmMain::SaveSettings()
{
    const QString path = settingsPath(true);
    IniFile ini(path);
    for (const auto &[key, field] : storedParameters())
        ini.writeInteger(PageSetting, key, field->value());
    ini.writeBool(Chart, QStringLiteral("Gradient"), Chart1->GradientVisible);
    ini.writeBool(Chart, QStringLiteral("View2D"), btnView2D->isChecked());
    for (const auto &[key, label] : storedColourLabels()) {
        // A system colour read from the file stays one (with its 0xFF top
        // byte) as long as the user has not picked another colour.
        const QVariant stored = label->property(StoredColour);
        const bool unchanged = stored.isValid() && colorFromValue(stored.toInt()) == fontColor(label);
        ini.writeInteger(Chart, key, unchanged ? stored.toInt() : colorValue(fontColor(label)));
    }
    for (const auto &[key, value] : storedColours())
        ini.writeInteger(Chart, key, *value);
    ini.writeBool(Notices, QStringLiteral("Enabled"), NNotices->isChecked());
    ComPort1->SaveSettings(stIniFile, path);
}
