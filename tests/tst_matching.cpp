// Cells matched into packs: twelve cells sorted by hand, the edges, and
// thousands of small random sets (many equal capacities, resistances
// present or not) checked against two oracles that try every choice: every
// way to leave the spare cells out between packs (the packs then being
// runs, as by hand), and every partition into packs at all, for the least
// capacity spread.

#include "history/matching.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace {

struct Totals
{
    double capacity = 0, resistance = 0;
};

// Worked out from the cells of each pack, not from the figures reported.
Totals totalsOf(const std::vector<MatchCell> &cells, const std::vector<std::vector<int>> &packs)
{
    Totals t;
    for (const std::vector<int> &pack : packs) {
        double lo = 1e300, hi = -1e300, rlo = 1e300, rhi = -1e300;
        bool measured = true;
        for (int i : pack) {
            lo = std::min(lo, cells[size_t(i)].capacity);
            hi = std::max(hi, cells[size_t(i)].capacity);
            if (const std::optional<double> r = cells[size_t(i)].resistance) {
                rlo = std::min(rlo, *r);
                rhi = std::max(rhi, *r);
            } else {
                measured = false;
            }
        }
        t.capacity += hi - lo;
        t.resistance += measured ? rhi - rlo : 0;
    }
    return t;
}

// Sorted as by hand: capacity, then resistance, unmeasured last.
std::vector<int> handOrder(const std::vector<MatchCell> &cells)
{
    std::vector<int> order(cells.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const MatchCell &x = cells[size_t(a)], &y = cells[size_t(b)];
        if (x.capacity != y.capacity)
            return x.capacity < y.capacity;
        if (x.resistance && y.resistance)
            return *x.resistance < *y.resistance;
        return x.resistance.has_value() && !y.resistance.has_value();
    });
    return order;
}

bool lexLess(const Totals &a, const Totals &b)
{
    if (std::abs(a.capacity - b.capacity) > 1e-6)
        return a.capacity < b.capacity;
    return a.resistance < b.resistance - 1e-12;
}

// Every way to leave n mod k sorted cells out between packs; the rest fall
// in runs.
Totals bestOfRuns(const std::vector<MatchCell> &cells, int k)
{
    const std::vector<int> order = handOrder(cells);
    const int n = int(cells.size());
    Totals best{1e300, 1e300};
    for (unsigned mask = 0; mask < (1u << n); ++mask) {
        if (__builtin_popcount(mask) != n % k)
            continue;
        std::vector<std::vector<int>> packs(1);
        bool between = true;
        for (int i = 0; i < n; ++i) {
            if (mask & (1u << i)) {
                between = between && (packs.back().empty() || int(packs.back().size()) == k);
                continue;
            }
            if (int(packs.back().size()) == k)
                packs.emplace_back();
            packs.back().push_back(order[size_t(i)]);
        }
        const Totals t = totalsOf(cells, packs);
        if (between && lexLess(t, best))
            best = t;
    }
    return best;
}

// The least capacity spread of any n / k packs of k cells.
double leastSpreadOfAll(const std::vector<MatchCell> &cells, int k)
{
    const int n = int(cells.size());
    double best = 1e300;
    std::vector<std::vector<int>> packs;
    std::vector<bool> used(cells.size());
    std::function<void(int)> place = [&](int spareLeft) {
        if (int(packs.size()) == n / k && (packs.empty() || int(packs.back().size()) == k)) {
            best = std::min(best, totalsOf(cells, packs).capacity);
            return;
        }
        if (!packs.empty() && int(packs.back().size()) < k) {
            // Fill the open pack with cells after its last, in index order.
            for (int i = packs.back().back() + 1; i < n; ++i) {
                if (used[size_t(i)])
                    continue;
                used[size_t(i)] = true;
                packs.back().push_back(i);
                place(spareLeft);
                packs.back().pop_back();
                used[size_t(i)] = false;
            }
            return;
        }
        // A new pack begins with the first free cell, or that cell is spare.
        int first = 0;
        while (first < n && used[size_t(first)])
            ++first;
        if (first == n)
            return;
        used[size_t(first)] = true;
        packs.push_back({first});
        place(spareLeft);
        packs.pop_back();
        if (spareLeft > 0)
            place(spareLeft - 1);
        used[size_t(first)] = false;
    };
    place(n % k);
    return best;
}

std::vector<MatchCell> withCapacities(const std::vector<double> &capacities)
{
    std::vector<MatchCell> cells;
    for (double c : capacities)
        cells.push_back({c, std::nullopt});
    return cells;
}

} // namespace

class TestMatching : public QObject
{
    Q_OBJECT

private slots:
    void twelveCellsAsSortedByHand()
    {
        std::vector<MatchCell> cells = withCapacities(
            {1800, 1950, 2010, 1820, 1990, 1870, 2050, 1905, 1830, 2000, 1880, 1960});
        for (size_t i = 0; i < cells.size(); ++i)
            if (i != 4)
                cells[i].resistance = 0.030 + 0.001 * double(i);
        const std::vector<MatchGroup> packs = matchPacks(cells, 4);
        QCOMPARE(packs.size(), size_t(3));
        QCOMPARE(packs[0].cells, std::vector<int>({0, 3, 8, 5}));   // 1800 1820 1830 1870
        QCOMPARE(packs[1].cells, std::vector<int>({10, 7, 1, 11})); // 1880 1905 1950 1960
        QCOMPARE(packs[2].cells, std::vector<int>({4, 9, 2, 6}));   // 1990 2000 2010 2050
        QCOMPARE(packs[0].capacitySpread, 70.0);
        QCOMPARE(packs[0].capacitySpreadPercent, 70 / 1830.0 * 100);
        QCOMPARE(packs[1].capacitySpread, 80.0);
        QCOMPARE(packs[2].capacitySpreadPercent, 60 / 2012.5 * 100);
        // Resistances 0.030, 0.033, 0.038, 0.035: spread 0.008 over a mean of 0.034.
        QVERIFY(packs[0].resistanceSpreadPercent);
        QVERIFY(std::abs(*packs[0].resistanceSpreadPercent - 0.008 / 0.034 * 100) < 1e-9);
        QVERIFY(!packs[2].resistanceSpreadPercent); // cell 4 was never measured
    }

    void edges_data()
    {
        QTest::addColumn<std::vector<double>>("capacities");
        QTest::addColumn<int>("packSize");
        QTest::addColumn<std::vector<int>>("expected"); // pack members, pack after pack
        QTest::addRow("no pack size") << std::vector<double>{1, 2} << 0 << std::vector<int>{};
        QTest::addRow("negative size") << std::vector<double>{1, 2} << -2 << std::vector<int>{};
        QTest::addRow("too few cells") << std::vector<double>{1, 2} << 3 << std::vector<int>{};
        QTest::addRow("no cells") << std::vector<double>{} << 1 << std::vector<int>{};
        QTest::addRow("packs of one") << std::vector<double>{3, 1, 2} << 1 << std::vector<int>{1, 2, 0};
        QTest::addRow("all equal") << std::vector<double>{5, 5, 5, 5} << 2 << std::vector<int>{0, 1, 2, 3};
        // The outlier is left out, wherever it is.
        QTest::addRow("low outlier") << std::vector<double>{100, 2000, 2010, 2020, 2030} << 2
                                     << std::vector<int>{1, 2, 3, 4};
        QTest::addRow("middle outlier") << std::vector<double>{1000, 1010, 1500, 2000, 2010} << 2
                                        << std::vector<int>{0, 1, 3, 4};
    }
    void edges()
    {
        QFETCH(std::vector<double>, capacities);
        QFETCH(int, packSize);
        QFETCH(std::vector<int>, expected);
        std::vector<int> got;
        for (const MatchGroup &g : matchPacks(withCapacities(capacities), packSize)) {
            QCOMPARE(int(g.cells.size()), packSize);
            got.insert(got.end(), g.cells.begin(), g.cells.end());
        }
        QCOMPARE(got, expected);
    }

    // Thousands of small sets against both oracles: the packs are runs in
    // hand order with the best cells left out, and no partition of any
    // kind has a smaller capacity spread.
    void againstEveryChoice_data()
    {
        QTest::addColumn<int>("packSize");
        for (int k = 2; k <= 4; ++k)
            QTest::addRow("packs of %d", k) << k;
    }
    void againstEveryChoice()
    {
        QFETCH(int, packSize);
        std::mt19937 rng(quint32(packSize) * 7919u);
        int differences = 0, cases = 0;
        for (int round = 0; round < 1200; ++round) {
            const int n = packSize + int(rng() % unsigned(10 - packSize));
            // Few distinct capacities, so ties are many.
            const int levels = 1 + int(rng() % 6);
            std::vector<MatchCell> cells;
            for (int i = 0; i < n; ++i) {
                MatchCell c{1500 + 50.0 * double(rng() % unsigned(levels)) + (rng() % 3 == 0 ? double(rng() % 40) : 0),
                            std::nullopt};
                if (rng() % 4 != 0)
                    c.resistance = 0.020 + 0.001 * double(rng() % 30);
                cells.push_back(c);
            }
            const std::vector<MatchGroup> packs = matchPacks(cells, packSize);
            QCOMPARE(int(packs.size()), n / packSize);
            std::vector<std::vector<int>> members;
            std::vector<int> seen;
            for (const MatchGroup &g : packs) {
                QCOMPARE(int(g.cells.size()), packSize);
                members.push_back(g.cells);
                seen.insert(seen.end(), g.cells.begin(), g.cells.end());
                for (size_t i = 1; i < g.cells.size(); ++i)
                    QVERIFY(cells[size_t(g.cells[i - 1])].capacity <= cells[size_t(g.cells[i])].capacity);
            }
            std::sort(seen.begin(), seen.end());
            QVERIFY(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
            const Totals got = totalsOf(cells, members), runs = bestOfRuns(cells, packSize);
            ++cases;
            if (lexLess(got, runs) || lexLess(runs, got))
                ++differences;
            if (std::abs(got.capacity - leastSpreadOfAll(cells, packSize)) > 1e-6)
                ++differences;
        }
        QCOMPARE(differences, 0);
        QCOMPARE(cases, 1200);
    }
};

QTEST_APPLESS_MAIN(TestMatching)
#include "tst_matching.moc"
