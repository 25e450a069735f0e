#pragma once
// The percent a flat progress bar draws: NaN and infinities (a 0-byte
// volume's share) count as 0, and the rest is kept within 0 to 100.
#include <algorithm>
#include <cmath>

inline float progressPercent(float percent) {
    if (!std::isfinite(percent)) return 0.0f;
    return std::clamp(percent, 0.0f, 100.0f);
}

// The fill width of a flat bar `width` points wide at `percent`: a fill that
// would end within a point of the end takes the whole width.
inline float progressFillWidth(double width, float percent) {
    const float w = float(width * progressPercent(percent) / 100.0);
    return w > width - 1 ? float(width) : w;
}
