// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures, drawn by the program itself.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace parvolink {

QPixmap ApplicationPicture(int size = 32);  // a network card with its link light
QPixmap DiscoverPicture(int size = 32);     // a magnifying glass over a network
QPixmap UpgradePicture(int size = 32);      // an arrow into a chip
QIcon ApplicationIcon();

}  // namespace parvolink
