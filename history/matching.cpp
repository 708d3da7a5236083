#include "history/matching.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

std::optional<double> knownResistance(const MatchCell &c)
{
    return c.resistance && std::isfinite(*c.resistance) ? c.resistance : std::nullopt;
}

struct Cost
{
    double capacity = 0, resistance = 0;
};

} // namespace

std::vector<MatchGroup> matchPacks(const std::vector<MatchCell> &cells, int packSize)
{
    const int n = int(cells.size());
    if (packSize < 1 || n < packSize)
        return {};
    const int k = packSize;
    const int spare = n % k;

    std::vector<int> order(cells.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const MatchCell &x = cells[size_t(a)], &y = cells[size_t(b)];
        if (x.capacity != y.capacity)
            return x.capacity < y.capacity;
        const std::optional<double> rx = knownResistance(x), ry = knownResistance(y);
        if (rx && ry)
            return *rx < *ry;
        return rx.has_value() && !ry.has_value();
    });

    // The run of k sorted cells from `first`.
    auto runCost = [&](int first) {
        const MatchCell &low = cells[size_t(order[size_t(first)])];
        const MatchCell &high = cells[size_t(order[size_t(first + k - 1)])];
        Cost c{high.capacity - low.capacity, 0};
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (int i = first; i < first + k; ++i) {
            const std::optional<double> r = knownResistance(cells[size_t(order[size_t(i)])]);
            if (!r)
                return c; // a pack with a cell not measured: its spread is unknown
            lo = std::min(lo, *r);
            hi = std::max(hi, *r);
        }
        c.resistance = hi - lo;
        return c;
    };

    // best[i][u]: the first i sorted cells taken, u of them left out, the
    // rest in whole packs. Fewer than k cells are ever left out.
    const double tolerance = 1e-9 * std::max(1.0, std::abs(cells[size_t(order.back())].capacity));
    auto better = [&](const Cost &a, const Cost &b) {
        if (std::abs(a.capacity - b.capacity) > tolerance)
            return a.capacity < b.capacity;
        return a.resistance < b.resistance;
    };
    struct State
    {
        bool reached = false;
        Cost cost;
        bool packEnds = false; // reached by a pack ending here, else by a cell left out
    };
    std::vector<std::vector<State>> best(size_t(n + 1), std::vector<State>(size_t(spare + 1)));
    best[0][0].reached = true;
    for (int i = 0; i < n; ++i) {
        for (int u = 0; u <= spare; ++u) {
            const State &from = best[size_t(i)][size_t(u)];
            if (!from.reached)
                continue;
            auto offer = [&](int to, int left, Cost cost, bool pack) {
                State &s = best[size_t(to)][size_t(left)];
                if (!s.reached || better(cost, s.cost))
                    s = {true, cost, pack};
            };
            if (u < spare)
                offer(i + 1, u + 1, from.cost, false);
            if (i + k <= n) {
                const Cost run = runCost(i);
                offer(i + k, u, {from.cost.capacity + run.capacity, from.cost.resistance + run.resistance}, true);
            }
        }
    }

    std::vector<MatchGroup> packs;
    for (int i = n, u = spare; i > 0;) {
        if (!best[size_t(i)][size_t(u)].packEnds) {
            --i;
            --u;
            continue;
        }
        MatchGroup g;
        double sum = 0, sumR = 0, lo = std::numeric_limits<double>::infinity(), hi = -lo;
        bool allMeasured = true;
        for (int j = i - k; j < i; ++j) {
            const MatchCell &c = cells[size_t(order[size_t(j)])];
            g.cells.push_back(order[size_t(j)]);
            sum += c.capacity;
            const std::optional<double> r = knownResistance(c);
            allMeasured = allMeasured && r;
            if (r) {
                sumR += *r;
                lo = std::min(lo, *r);
                hi = std::max(hi, *r);
            }
        }
        g.capacitySpread = cells[size_t(g.cells.back())].capacity - cells[size_t(g.cells.front())].capacity;
        g.capacitySpreadPercent = sum > 0 ? g.capacitySpread / (sum / k) * 100 : 0;
        if (allMeasured)
            g.resistanceSpreadPercent = sumR > 0 ? (hi - lo) / (sumR / k) * 100 : 0;
        packs.push_back(std::move(g));
        i -= k;
    }
    std::reverse(packs.begin(), packs.end());
    return packs;
}
