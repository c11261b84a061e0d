// Writes the toolbar skin, the program icon and the language-selection button pictures into
// the folder given (tools/SkinGenerator.h says when to run it).

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "SkinGenerator.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCE_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    skin::SkinGenerator gen;

    // Qt writes 24-bit uncompressed BMP for 32-bit images without alpha.
    const QString skinPath = out.filePath("skin135.bmp");
    if (!gen.skin().save(skinPath, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(skinPath));
        return 1;
    }
    for (int size : {16, 32, 48, 256}) {
        const QString path = out.filePath(QString("icon128-%1.png").arg(size));
        if (!gen.icon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        const QString path = out.filePath(QString("langsel%1.bmp").arg(lang.languageBitmap));
        if (!gen.languageButton(lang).save(path, "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
