#pragma once
#include <cmath>

// Lengths in the program's windows are twips: 15 twips are one logical pixel.
namespace Twips {
constexpr double PerPixel = 15.0;
inline int toPx(double tw) { return int(std::lround(tw / PerPixel)); }
inline double fromPx(int px) { return px * PerPixel; }
} // namespace Twips
