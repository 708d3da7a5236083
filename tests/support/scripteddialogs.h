#pragma once

#include "dialogs.h"

#include <QList>
#include <QStringList>

// Dialogs that answer from a script and remember what was asked. install()
// puts one in place for the current test; it stays owned by Dialogs.
class ScriptedDialogs : public Dialogs
{
public:
    static ScriptedDialogs &install();

    void message(QWidget *parent, const QString &text, Icon icon) override;
    QMessageBox::StandardButton question(QWidget *parent, const QString &text,
                                         QMessageBox::StandardButtons buttons) override;

    QStringList messages;
    QStringList questions;
    QList<QMessageBox::StandardButton> answers; // taken from the front
};
