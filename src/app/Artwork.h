#pragma once

#include <QPixmap>

#include <array>

namespace updater {

// The window's pictures, drawn by the program itself.
// Four 16x16 houses, 0 grey (not yet probed), 1 blue (probing), 2 green (on), 3 red (off).
std::array<QPixmap, 4> houseImages();

// The 32x32 pictures of the download group (a box with an arrow) and the info group (a server).
QPixmap downloadIcon();
QPixmap serverIcon();

} // namespace updater
