// SPDX-License-Identifier: GPL-3.0-or-later
// Painting.h - device contexts over a QPainter.
#pragma once

#include "platform/WinTypes.h"

#include <QPainter>
#include <QWidget>

#include <memory>

struct HDC__ {
    QWidget* widget = nullptr;
    std::unique_ptr<QPainter> painter;
};

namespace ostrane::fw {

// Fills the device context's window with its background colour.
void EraseBackground(HDC dc, QWidget* widget);

}  // namespace ostrane::fw
