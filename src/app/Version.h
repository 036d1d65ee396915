#pragma once

namespace parvolink {

inline constexpr const char* kVersion = "1.5.7";
inline constexpr const char* kWindowTitle = "Vellacor Parvolink v1.5.7";

}  // namespace parvolink
