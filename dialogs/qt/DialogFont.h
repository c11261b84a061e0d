#pragma once
// The dialogs' font: a proportional Japanese Gothic at 9 points, whichever of these the
// desktop has.

#include <QFont>
#include <QStringList>

inline QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSize(9);
    return font;
}
