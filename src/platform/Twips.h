#pragma once
// Stored window and column sizes are in twips (1/1440 inch): 15 a pixel at 96 dpi. Every conversion
// goes through here, with the logical dpi of the screen the widget is on.

#include <cmath>

namespace folvane::Twips {

inline constexpr int PerInch = 1440;

/// Whole pixels for a length in twips, rounded to the nearest pixel.
inline int ToPixels(double twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / PerInch)); }

/// Twips for a length in pixels, not rounded.
inline double FromPixels(double pixels, double dpi) { return pixels * PerInch / dpi; }

}  // namespace folvane::Twips
