// Twips, the unit of every position and size a host gives the grid and the control, against
// screen pixels. Included by FlexGrid.h; the grid's storage uses it without the widget.
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstdint>

namespace tessera {

// Twips, the unit of every position and size of the grid, against screen pixels.
constexpr int TwipsPerPixel = 15;
// Saturating: a position past the 32-bit twips range reads as the range's end, not a wrapped value.
constexpr qint32 toTwips(qint64 pixels)
{
    return qint32(std::clamp<qint64>(pixels * TwipsPerPixel, INT32_MIN, INT32_MAX));
}
// Nearest pixel, halves away from zero.
constexpr int toPixels(qint32 twips)
{
    const qint64 t = twips;
    return int(t >= 0 ? (t + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-t + TwipsPerPixel / 2) / TwipsPerPixel));
}

} // namespace tessera
