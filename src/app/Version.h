// SPDX-License-Identifier: GPL-3.0-or-later
// The version, from the project's own (CMake's project(VERSION)).
#pragma once

namespace parvolink {

inline constexpr const char* kVersion = PARVOLINK_VERSION;
inline constexpr const char* kWindowTitle = "Vellacor Parvolink v" PARVOLINK_VERSION;

}  // namespace parvolink
