#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>

#include <memory>

class QCoreApplication;
class QWidget;

// Loads Qt's translations for the locale (QLocale()) into `app`: its
// standard buttons, dialogs and error texts. False when none is installed
// for that language.
bool installQtTranslations(QCoreApplication &app);

// Every message box, question and input dialog of the program goes through
// this interface, so tests can answer them and read what the user would have
// been asked.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };

    virtual ~Dialogs() = default;

    virtual void message(QWidget *parent, const QString &text, Icon icon) = 0;
    // Returns the button pressed, one of `buttons`; `title` empty means the
    // program's name.
    virtual QMessageBox::StandardButton question(QWidget *parent, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 const QString &title = {}) = 0;
    // A folder chosen by the user, starting at `start`; empty when cancelled.
    virtual QString folder(QWidget *parent, const QString &start) = 0;
    // One line of text; a null string when cancelled.
    virtual QString text(QWidget *parent, const QString &caption, const QString &prompt,
                         const QString &initial) = 0;

    // File dialogs: `filter` in Qt's form ("Text (*.txt);;All (*)"); an
    // empty result means cancelled. `suggested` may be a bare name.
    virtual QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                                 const QString &suffix) = 0;
    // `suffix` is put after a typed name that has none.
    virtual QString openFileName(QWidget *parent, const QString &filter,
                                 const QString &suffix) = 0;

    // A colour starting from `initial`; invalid when cancelled.
    virtual QColor color(QWidget *parent, const QColor &initial) = 0;

    static Dialogs &instance();
    // Installs a replacement (tests); nullptr restores the real dialogs.
    static void install(std::unique_ptr<Dialogs> dialogs);
};

// The real, modal dialogs.
class WidgetDialogs : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text, Icon icon) override;
    QMessageBox::StandardButton question(QWidget *parent, const QString &text,
                                         QMessageBox::StandardButtons buttons,
                                         const QString &title = {}) override;
    QString folder(QWidget *parent, const QString &start) override;
    QString text(QWidget *parent, const QString &caption, const QString &prompt,
                 const QString &initial) override;
    QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                         const QString &suffix) override;
    QString openFileName(QWidget *parent, const QString &filter, const QString &suffix) override;
    QColor color(QWidget *parent, const QColor &initial) override;
};
