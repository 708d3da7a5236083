// Writes the program's icon as PNGs into the icon theme's folders,
// <out>/<n>x<n>/apps/ostrel.png, for the package to install beside the SVG.

#include "platform/programicon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrel-iconpngs OUTPUT-FOLDER\n");
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int size : programIconSizes()) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!out.mkpath(folder) || !programIconImage(size).save(out.filePath(folder + QStringLiteral("/ostrel.png")))) {
            std::fprintf(stderr, "ostrel-iconpngs: cannot write %s\n", qPrintable(out.filePath(folder)));
            return 1;
        }
    }
    return 0;
}
