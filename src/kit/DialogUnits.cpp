// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/DialogUnits.h"

#include <QFontMetrics>

namespace parvolink {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average character width: the 52 letters measured together, rounded.
    const int letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    charWidth_ = (letters / 26 + 1) / 2;
    charHeight_ = metrics.height();
}

QFont DialogFont() {
    QFont font("Tahoma");
    font.setPointSize(10);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace parvolink
