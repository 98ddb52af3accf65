#pragma once

#include <cmath>
#include <cstdint>

// Window lengths are kept in twips (1/1440 inch) and converted with the screen's logical DPI.
namespace xcpy::twips {

inline constexpr int kPerInch = 1440;

// Nearest whole number, halves to even.
inline std::int64_t whole(double value) {
    return static_cast<std::int64_t>(std::nearbyint(value));
}

inline int toPixels(double twips, double dpi) {
    return static_cast<int>(whole(twips * dpi / kPerInch));
}

inline double fromPixels(int pixels, double dpi) {
    return pixels * kPerInch / dpi;
}

} // namespace xcpy::twips
