// SPDX-License-Identifier: GPL-3.0-or-later
// Icons.h - icons and bitmaps from the program's resources.
#pragma once

#include "platform/WinTypes.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

struct HICON__ {
    QIcon icon;
};

namespace ostrane::fw {

// The bitmap resource as an image (an empty one when it is missing).
QPixmap LoadBitmapResource(WORD id);

// The icon group resource with all its images; nullptr when it is missing.
// Icons are loaded once and live as long as the program.
HICON LoadIconResource(WORD id);

// Decodes one icon image: a device-independent bitmap of twice the icon's
// height, colour rows followed by the transparency mask.
QImage DecodeIconImage(const unsigned char* data, std::size_t size);

}  // namespace ostrane::fw
