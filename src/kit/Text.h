// SPDX-License-Identifier: GPL-3.0-or-later
// Texts the program shows and sends are 8-bit: widgets' texts cross into the core as Latin-1,
// so one character is always one byte and length limits count the same on both sides.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace parvolink {

inline std::string ToText(const QString& text) {
    return text.toLatin1().toStdString();
}
inline QString FromText(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace parvolink
