#include "tests/support/scripteddialogs.h"

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
                                                      QMessageBox::StandardButtons,
                                                      const QString &title)
{
    questions << text;
    titles << title;
    return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
}

QString ScriptedDialogs::folder(QWidget *, const QString &start)
{
    asked << start;
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

QString ScriptedDialogs::text(QWidget *, const QString &caption, const QString &prompt,
                              const QString &initial)
{
    titles << caption;
    asked << prompt + QLatin1Char('|') + initial;
    return textAnswers.isEmpty() ? QString() : textAnswers.takeFirst();
}

QString ScriptedDialogs::saveFileName(QWidget *, const QString &suggested, const QString &filter,
                                      const QString &)
{
    asked << suggested + QLatin1Char('|') + filter;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedDialogs::openFileName(QWidget *, const QString &filter, const QString &suffix)
{
    asked << filter + QLatin1Char('|') + suffix;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QColor ScriptedDialogs::color(QWidget *, const QColor &initial)
{
    colorsOffered << initial;
    return colorAnswers.isEmpty() ? QColor() : colorAnswers.takeFirst();
}
