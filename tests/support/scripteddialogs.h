#pragma once

#include "platform/dialogs.h"

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
                                         QMessageBox::StandardButtons buttons,
                                         const QString &title = {}) override;
    QString folder(QWidget *parent, const QString &start) override;
    QString text(QWidget *parent, const QString &caption, const QString &prompt,
                 const QString &initial) override;

    QStringList messages;
    QStringList questions;
    QList<QMessageBox::StandardButton> answers; // taken from the front
    QStringList titles;          // of the questions, and the captions of text dialogs
    QStringList asked;           // what the folder and text dialogs were given to start with
    QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                         const QString &suffix) override;
    QString openFileName(QWidget *parent, const QString &filter, const QString &suffix) override;

    QColor color(QWidget *parent, const QColor &initial) override;

    QList<QColor> colorAnswers;  // taken from the front; invalid or none: cancel
    QList<QColor> colorsOffered; // what each colour dialog started from
    QStringList fileAnswers;     // for both file dialogs, taken from the front; empty: cancel
    QStringList folderAnswers;   // taken from the front; empty means cancel
    QStringList textAnswers;     // taken from the front; a null string means cancel
};
