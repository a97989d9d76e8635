#pragma once
// Stored window and column sizes are in twips (1/1440 inch): 15 a pixel at 96 dpi. Every conversion
// goes through here, with the logical dpi of the screen the widget is on.

#include <algorithm>
#include <cmath>

namespace folvane::Twips {

inline constexpr int PerInch = 1440;

/// Whole pixels for a length in twips, rounded to the nearest pixel. A length beyond any screen (a
/// damaged stored value) stops at 2^28 pixels either way, so that sums of such lengths, as in a
/// rectangle's edges, still fit an int.
inline int ToPixels(double twips, double dpi)
{
    constexpr double Bound = 1 << 28;
    const double pixels = twips * dpi / PerInch;
    if (std::isnan(pixels))
        return 0;
    return static_cast<int>(std::lround(std::clamp(pixels, -Bound, Bound)));
}

/// Twips for a length in pixels, not rounded.
inline double FromPixels(double pixels, double dpi) { return pixels * PerInch / dpi; }

}  // namespace folvane::Twips
