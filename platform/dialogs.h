#pragma once

#include <QMessageBox>
#include <QString>

#include <memory>

class QWidget;

// Every message box and question of the program goes through this interface,
// so tests can answer them and read what the user would have been asked.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };

    virtual ~Dialogs() = default;

    virtual void message(QWidget *parent, const QString &text, Icon icon) = 0;
    // Returns the button pressed, one of `buttons`.
    virtual QMessageBox::StandardButton question(QWidget *parent, const QString &text,
                                                 QMessageBox::StandardButtons buttons) = 0;

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
                                         QMessageBox::StandardButtons buttons) override;
};
