#include "platform/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QLibraryInfo>
#include <QTranslator>
#include <QFileDialog>
#include <QRegularExpression>
#include <QInputDialog>

#include <utility>

namespace {
// A box without a title of its own is the program's: its proper name rather
// than the lower-case name of its executable.
const QString ProgramTitle = QStringLiteral("Ostrel");

std::unique_ptr<Dialogs> &current()
{
    static std::unique_ptr<Dialogs> d;
    return d;
}

QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information: return QMessageBox::Information;
    case Dialogs::Icon::Warning: return QMessageBox::Warning;
    case Dialogs::Icon::Critical: return QMessageBox::Critical;
    case Dialogs::Icon::Question: return QMessageBox::Question;
    case Dialogs::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

Dialogs &Dialogs::instance()
{
    if (!current())
        current() = std::make_unique<WidgetDialogs>();
    return *current();
}

void Dialogs::install(std::unique_ptr<Dialogs> dialogs)
{
    current() = std::move(dialogs);
}

void WidgetDialogs::message(QWidget *parent, const QString &text, Icon icon)
{
    QMessageBox box(toQt(icon), ProgramTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

QMessageBox::StandardButton WidgetDialogs::question(QWidget *parent, const QString &text,
                                                    QMessageBox::StandardButtons buttons,
                                                    const QString &title)
{
    QMessageBox box(QMessageBox::Question, title.isEmpty() ? ProgramTitle : title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString WidgetDialogs::folder(QWidget *parent, const QString &start)
{
    return QFileDialog::getExistingDirectory(parent, QString(), start);
}

QString WidgetDialogs::text(QWidget *parent, const QString &caption, const QString &prompt,
                            const QString &initial)
{
    bool ok = false;
    const QString t = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? t : QString();
}

QString WidgetDialogs::saveFileName(QWidget *parent, const QString &suggested,
                                    const QString &filter, const QString &suffix)
{
    QFileDialog d(parent, QString(), QString(), filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix(suffix);
    // A name typed without an extension takes that of the kind chosen.
    QObject::connect(&d, &QFileDialog::filterSelected, &d, [&d](const QString &chosen) {
        static const QRegularExpression extension(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch m = extension.match(chosen);
        if (m.hasMatch())
            d.setDefaultSuffix(m.captured(1));
    });
    d.selectFile(suggested);
    // The overwrite question is the program's own.
    d.setOption(QFileDialog::DontConfirmOverwrite);
    return d.exec() == QDialog::Accepted ? d.selectedFiles().value(0) : QString();
}

QString WidgetDialogs::openFileName(QWidget *parent, const QString &filter, const QString &suffix)
{
    QFileDialog d(parent, QString(), QString(), filter);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setDefaultSuffix(suffix);
    return d.exec() == QDialog::Accepted ? d.selectedFiles().value(0) : QString();
}

QColor WidgetDialogs::color(QWidget *parent, const QColor &initial)
{
    return QColorDialog::getColor(initial, parent);
}

namespace {

// The few texts of the file dialog that Qt's Russian catalog lacks (the
// "Тип" column's names for folders and drives). Installed before Qt's own
// catalog, it is asked only for what that one has no answer to.
class RussianGaps : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const std::pair<const char *, const char *> names[] = {
            {"Folder", "Папка"}, {"File Folder", "Папка"}, {"Drive", "Диск"},
            {"Shortcut", "Ярлык"}, {"Alias", "Ярлык"},    {"Unknown", "Неизвестно"},
        };
        for (const auto &[english, russian] : names)
            if (qstrcmp(sourceText, english) == 0)
                return QString::fromUtf8(russian);
        return {};
    }
};

} // namespace

bool installQtTranslations(QCoreApplication &app)
{
    if (QLocale().language() == QLocale::Russian)
        app.installTranslator(new RussianGaps(&app));
    // Qt's own texts (standard buttons, file dialogs, its error texts) in
    // the user's language, from the translations installed with Qt.
    auto *qt = new QTranslator(&app);
    if (qt->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && app.installTranslator(qt))
        return true;
    delete qt;
    return false;
}
