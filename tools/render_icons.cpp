// render_icons DIR NAME SIZE...: writes DIR/<SIZE>x<SIZE>/apps/NAME.png for each
// size with the program's own icon drawing, so the installed icon theme shows
// the picture the windows show. Run with QT_QPA_PLATFORM=offscreen.
#include "platform/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fputs("usage: render_icons DIR NAME SIZE...\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]), name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int side = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || side < 16 || side > 1024) {
            std::fprintf(stderr, "render_icons: bad size '%s' (16 to 1024)\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(side);
        const QString file = dir + '/' + name + ".png";
        if (!QDir().mkpath(dir) || !platform::appIconImage(side).save(file, "PNG")) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
