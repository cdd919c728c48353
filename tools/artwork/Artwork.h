// SPDX-License-Identifier: GPL-3.0-or-later
// The drawings: the main window's banner and the application icon. All of it
// is vector work on QPainter, so every size is drawn from the same shapes.
#pragma once

#include <QImage>

namespace artwork {

// Loads the two fonts the drawings use (DejaVu Sans Bold for Latin,
// WenQuanYi Zen Hei for Chinese); throws when either is missing, since a
// substitute font would silently change the artwork.
void loadFonts();

// 463 x 81, opaque.
QImage drawBanner();

enum class IconStyle {
    Colour,      // full detail, for the 32 x 32 colour images
    SmallColour, // simplified shapes that survive 16 x 16
    Mono,        // black and white, for the monochrome image
    Smooth,      // full detail with the smooth plug, for desktop icons of 24 pixels and up
};

// size x size ARGB32; outside the shield is fully transparent.
QImage drawIcon(int size, IconStyle style);

} // namespace artwork
