// Writes the program's icon as PNG files for the icon theme: sonvera-icons OUTDIR SIZE...
// (OUTDIR/SIZExSIZE/apps/sonvera.png).

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/IconArt.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: sonvera-icons OUTDIR SIZE...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int i = 2; i < argc; ++i) {
        const int size = QString(argv[i]).toInt();
        const QString dir = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) || !DrawSonveraIcon(size).save(dir + "/sonvera.png")) {
            std::fprintf(stderr, "sonvera-icons: cannot write size %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
