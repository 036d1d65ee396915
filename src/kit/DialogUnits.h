// SPDX-License-Identifier: GPL-3.0-or-later
// Places widgets from dialog-unit positions as dialog templates do: a horizontal unit is a quarter
// of the dialog font's average character width, a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>

namespace parvolink {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int dlu) const { return (dlu * charWidth_ + 2) / 4; }
    int Y(int dlu) const { return (dlu * charHeight_ + 4) / 8; }
    QRect Rect(int x, int y, int width, int height) const {
        return {X(x), Y(y), X(width), Y(height)};
    }

private:
    int charWidth_;
    int charHeight_;
};

// The dialogs' font: Tahoma 10, or the nearest the system has.
QFont DialogFont();

}  // namespace parvolink
