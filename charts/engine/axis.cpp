#include "charts/engine/axis.h"

#include <cmath>

AxisRange automaticRange(double lo, double hi)
{
    if (!(hi > lo)) {
        // One value: show it in the middle of a range that suits its size.
        const double pad = lo == 0 ? 1 : std::abs(lo) * 0.1;
        return {lo - pad, lo + pad};
    }
    return {lo, hi};
}

AxisRange zoomed(AxisRange r, double percent)
{
    const double delta = (r.max - r.min) * (percent - 100) * 0.01;
    AxisRange z{r.min + delta, r.max - delta};
    // Zooming in past a point would turn the axis inside out.
    if (!(z.max > z.min))
        return r;
    return z;
}

std::vector<double> labelValues(AxisRange r, int maxLabels)
{
    std::vector<double> out;
    if (maxLabels < 1 || !(r.span() > 0) || !std::isfinite(r.span()))
        return out;
    const double rough = r.span() / maxLabels;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= rough)
            break;
    }
    for (double v = std::ceil(r.min / step) * step; v <= r.max + step * 1e-9; v += step)
        out.push_back(std::abs(v) < step * 1e-9 ? 0 : v);
    return out;
}
