// The program's pictures, drawn by the program itself.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace parvolink {

QPixmap ApplicationPicture(int size = 32);  // resource 128: a network card with its link light
QPixmap DiscoverPicture(int size = 32);     // resource 136: a magnifying glass over a network
QPixmap UpgradePicture(int size = 32);      // resource 137: an arrow into a chip
QIcon ApplicationIcon();

}  // namespace parvolink
