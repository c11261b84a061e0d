#pragma once

#include <QIcon>
#include <QImage>
#include <QRect>

class QPainter;

// The skin picture and the program icon, both embedded in the program.
class Skin {
  public:
    // The skin, decoded once per call; callers keep the image. One picture serves every
    // screen depth: Qt converts it to whatever the screen offers, and a dithered full skin
    // on a low-colour screen beats the bare button fill a missing low-colour variant would
    // leave. Null only if the embedded resource is missing, which the tests rule out.
    static QImage load();

    // The program icon in the sizes drawn for it.
    static QIcon programIcon();

    // The 26 x 28 face of a cell in a band.
    static QRect cellSource(int cell, int band);

    // Paints the toolbar background from band 0: columns 0 to 164 from the same skin
    // columns, everything right of them from 270 columns further on. Paints nothing for a
    // null skin.
    static void paintBackground(QPainter& painter, const QImage& skin);
};
