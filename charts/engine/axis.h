#pragma once

#include <vector>

// The value range an axis shows, and the arithmetic on it: automatic
// scaling, zoom by percentage and the positions of its labels. Plain values,
// so the chart's geometry is tested without a window.
struct AxisRange
{
    double min = 0;
    double max = 1;

    double span() const { return max - min; }
    bool operator==(const AxisRange &) const = default;
};

// A range that shows lo..hi with a little room; never empty, so nothing
// divides by zero for a single point or all-equal values.
AxisRange automaticRange(double lo, double hi);

// Moves each end by (percent - 100) percent of the span: inward above 100,
// outward below.
AxisRange zoomed(AxisRange r, double percent);

// Label values at a round step (1, 2 or 5 times a power of ten) with at most
// `maxLabels` of them inside the range.
std::vector<double> labelValues(AxisRange r, int maxLabels);

// Maps a value to a pixel coordinate between `from` (at min) and `to` (at max).
inline double toPixel(const AxisRange &r, double v, double from, double to)
{
    return from + (v - r.min) / r.span() * (to - from);
}
inline double fromPixel(const AxisRange &r, double px, double from, double to)
{
    return r.min + (px - from) / (to - from) * r.span();
}
