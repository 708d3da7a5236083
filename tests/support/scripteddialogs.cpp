#include "scripteddialogs.h"

ScriptedDialogs &ScriptedDialogs::install()
{
    auto d = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs &ref = *d;
    Dialogs::install(std::move(d));
    return ref;
}

void ScriptedDialogs::message(QWidget *, const QString &text, Icon)
{
    messages << text;
}

QMessageBox::StandardButton ScriptedDialogs::question(QWidget *, const QString &text,
                                                      QMessageBox::StandardButtons)
{
    questions << text;
    return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
}
