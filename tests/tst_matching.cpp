// Cells matched into packs: a set sorted by hand, the edges, and thousands
// of small random sets, full of equal capacities and of cells with and
// without a resistance, checked against trying every possible choice.

#include "history/matching.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Packs = std::vector<std::vector<int>>;

// NaN stands for a resistance not measured.
std::vector<MatchCell> makeCells(const std::vector<double> &capacities, const std::vector<double> &resistances = {})
{
    std::vector<MatchCell> cells;
    for (size_t i = 0; i < capacities.size(); ++i) {
        MatchCell c;
        c.capacity = capacities[i];
        if (i < resistances.size() && !std::isnan(resistances[i]))
            c.resistance = resistances[i];
        cells.push_back(c);
    }
    return cells;
}

Packs packsOf(const std::vector<MatchGroup> &groups)
{
    Packs packs;
    for (const MatchGroup &g : groups)
        packs.push_back(g.cells);
    return packs;
}

struct Totals {
    double capacity = 0;
    double resistance = 0;
};

// Worked out from the cells of each pack, not from the figures reported.
Totals totalsOf(const std::vector<MatchCell> &cells, const Packs &packs)
{
    Totals t;
    for (const auto &pack : packs) {
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        double rlo = lo, rhi = -lo;
        bool all = true;
        for (int i : pack) {
            lo = std::min(lo, cells[size_t(i)].capacity);
            hi = std::max(hi, cells[size_t(i)].capacity);
            if (const auto &r = cells[size_t(i)].resistance) {
                rlo = std::min(rlo, *r);
                rhi = std::max(rhi, *r);
            } else {
                all = false;
            }
        }
        t.capacity += hi - lo;
        if (all)
            t.resistance += rhi - rlo;
    }
    return t;
}

bool near(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max({std::fabs(a), std::fabs(b), 1e-3});
}

bool better(const Totals &a, const Totals &b)
{
    if (!near(a.capacity, b.capacity))
        return a.capacity < b.capacity;
    return !near(a.resistance, b.resistance) && a.resistance < b.resistance;
}

// Every way of taking n / k disjoint packs of k: the first cell not yet
// placed is either left over or the lowest-numbered cell of a new pack.
class BruteForce
{
public:
    BruteForce(const std::vector<MatchCell> &cells, int k)
        : cells_(cells), k_(k), placed_(cells.size(), false), leftAllowed_(int(cells.size()) % k)
    {
        place(0);
    }
    std::optional<Totals> best() const { return best_; }

private:
    void place(int leftOver)
    {
        const auto first = std::find(placed_.begin(), placed_.end(), false);
        if (first == placed_.end()) {
            const Totals t = totalsOf(cells_, packs_);
            if (!best_ || better(t, *best_))
                best_ = t;
            return;
        }
        const int i = int(first - placed_.begin());
        placed_[size_t(i)] = true;
        if (leftOver < leftAllowed_)
            place(leftOver + 1);
        packs_.push_back({i});
        fill(i + 1, leftOver);
        packs_.pop_back();
        placed_[size_t(i)] = false;
    }
    void fill(int from, int leftOver)
    {
        if (int(packs_.back().size()) == k_) {
            place(leftOver);
            return;
        }
        for (int j = from; j < int(cells_.size()); ++j) {
            if (placed_[size_t(j)])
                continue;
            placed_[size_t(j)] = true;
            packs_.back().push_back(j);
            fill(j + 1, leftOver);
            packs_.back().pop_back();
            placed_[size_t(j)] = false;
        }
    }

    const std::vector<MatchCell> &cells_;
    const int k_;
    std::vector<bool> placed_;
    const int leftAllowed_;
    Packs packs_;
    std::optional<Totals> best_;
};

// Capacities and resistances drawn from small pools as often as not, so
// that equal values, and so ties between choices, are common.
std::vector<MatchCell> randomCells(std::mt19937 &gen, int n)
{
    auto uniform = [&](int lo, int hi) { return lo + int(gen() % unsigned(hi - lo + 1)); };
    std::vector<double> capPool, resPool;
    const int pooled = uniform(1, 3);
    for (int i = 0; i < pooled; ++i) {
        capPool.push_back(uniform(500, 3000));
        resPool.push_back(uniform(10, 150) / 1000.0);
    }
    const int resMode = uniform(0, 2); // 0 none, 1 all, 2 some
    std::vector<MatchCell> cells(static_cast<size_t>(n));
    for (MatchCell &c : cells) {
        c.capacity = uniform(0, 3) > 0 ? capPool[gen() % capPool.size()] : uniform(500, 3000);
        if (resMode == 1 || (resMode == 2 && uniform(0, 2) > 0))
            c.resistance = uniform(0, 1) ? resPool[gen() % resPool.size()] : uniform(10, 150) / 1000.0;
    }
    return cells;
}

} // namespace

class TestMatching : public QObject
{
    Q_OBJECT

private slots:
    void handSorted();
    void edges_data();
    void edges();
    void againstEveryChoice_data();
    void againstEveryChoice();
};

void TestMatching::handSorted()
{
    const double none = std::nan("");
    const auto cells = makeCells({1800, 1950, 2010, 1820, 1990, 1870, 2050, 1905, 1830, 2000, 1880, 1960},
                                 {0.040, 0.050, none, 0.044, 0.036, 0.042, 0.038, 0.045, 0.041, 0.039, 0.048, 0.046});
    const auto groups = matchPacks(cells, 4);
    QCOMPARE(packsOf(groups), (Packs{{0, 3, 8, 5}, {10, 7, 1, 11}, {4, 9, 2, 6}}));

    QCOMPARE(groups[0].capacitySpread, 70.0);
    QCOMPARE(groups[1].capacitySpread, 80.0);
    QCOMPARE(groups[2].capacitySpread, 60.0);
    QCOMPARE(groups[0].capacitySpreadPercent, 3.825136612021858); // 70 of a mean of 1830
    QCOMPARE(groups[1].capacitySpreadPercent, 4.158544509421702);
    QCOMPARE(groups[2].capacitySpreadPercent, 2.981366459627329);
    QVERIFY(groups[0].resistanceSpreadPercent && groups[1].resistanceSpreadPercent);
    QCOMPARE(*groups[0].resistanceSpreadPercent, 9.580838323353284);
    QCOMPARE(*groups[1].resistanceSpreadPercent, 10.582010582010591);
    QVERIFY(!groups[2].resistanceSpreadPercent); // 2010 mAh has none
}

void TestMatching::edges_data()
{
    QTest::addColumn<std::vector<double>>("capacities");
    QTest::addColumn<std::vector<double>>("resistances");
    QTest::addColumn<int>("packSize");
    QTest::addColumn<Packs>("expected");

    const double none = std::nan("");
    QTest::newRow("pack size zero") << std::vector<double>{1000, 1100} << std::vector<double>{} << 0 << Packs{};
    QTest::newRow("negative pack size") << std::vector<double>{1000, 1100} << std::vector<double>{} << -2 << Packs{};
    QTest::newRow("fewer cells than a pack") << std::vector<double>{1000, 1100, 1200} << std::vector<double>{} << 4 << Packs{};
    QTest::newRow("no cells") << std::vector<double>{} << std::vector<double>{} << 1 << Packs{};
    QTest::newRow("packs of one") << std::vector<double>{1200, 1000, 1100} << std::vector<double>{0.03, none, 0.05} << 1
                                  << Packs{{1}, {2}, {0}};
    QTest::newRow("all equal, paired by resistance")
        << std::vector<double>{2000, 2000, 2000, 2000} << std::vector<double>{0.05, 0.02, 0.04, 0.03} << 2
        << Packs{{0, 2}, {1, 3}};
    QTest::newRow("all equal, the odd one left over")
        << std::vector<double>{1500, 1500, 1500, 1500, 1500} << std::vector<double>{0.030, 0.100, 0.031, 0.032, 0.033}
        << 2 << Packs{{0, 2}, {3, 4}};
    QTest::newRow("the outlier left over")
        << std::vector<double>{1000, 1900, 2000, 2100} << std::vector<double>{} << 3 << Packs{{1, 2, 3}};
    // Both choices total 1000 mAh; only the resistance tells them apart.
    QTest::newRow("pack straddling an equal pair")
        << std::vector<double>{1000, 1500, 1500, 2000} << std::vector<double>{0.02, 0.01, 0.01, 0.02} << 2
        << Packs{{0, 3}, {1, 2}};
    QTest::newRow("runs when the resistance says so")
        << std::vector<double>{1000, 1500, 1500, 2000} << std::vector<double>{0.02, 0.02, 0.01, 0.01} << 2
        << Packs{{0, 1}, {2, 3}};
}

void TestMatching::edges()
{
    QFETCH(std::vector<double>, capacities);
    QFETCH(std::vector<double>, resistances);
    QFETCH(int, packSize);
    QFETCH(Packs, expected);

    const auto cells = makeCells(capacities, resistances);
    const auto groups = matchPacks(cells, packSize);
    QCOMPARE(packsOf(groups), expected);
    for (const MatchGroup &g : groups) {
        const bool all = std::all_of(g.cells.begin(), g.cells.end(),
                                     [&](int i) { return cells[size_t(i)].resistance.has_value(); });
        QCOMPARE(g.resistanceSpreadPercent.has_value(), all);
        if (g.cells.size() == 1) {
            QCOMPARE(g.capacitySpread, 0.0);
            QCOMPARE(g.capacitySpreadPercent, 0.0);
            QCOMPARE(g.resistanceSpreadPercent.value_or(0), 0.0);
        }
    }
}

void TestMatching::againstEveryChoice_data()
{
    QTest::addColumn<int>("packSize");
    for (int k = 2; k <= 4; ++k)
        QTest::addRow("packs of %d", k) << k;
}

void TestMatching::againstEveryChoice()
{
    QFETCH(int, packSize);
    const int k = packSize;
    for (unsigned seed = 1; seed <= 1500; ++seed) {
        std::mt19937 gen(seed * 7919u + unsigned(k));
        const int n = k + int(gen() % unsigned(10 - k)); // k..9
        const auto cells = randomCells(gen, n);
        const auto groups = matchPacks(cells, k);
        const QByteArray where = QByteArray("seed ") + QByteArray::number(seed) + ", " + QByteArray::number(n) + " cells";

        QVERIFY2(int(groups.size()) == n / k, where);
        std::vector<bool> seen(size_t(n), false);
        for (size_t g = 0; g < groups.size(); ++g) {
            const auto &pack = groups[g].cells;
            QVERIFY2(int(pack.size()) == k, where);
            for (size_t j = 0; j < pack.size(); ++j) {
                QVERIFY2(pack[j] >= 0 && pack[j] < n && !seen[size_t(pack[j])], where);
                seen[size_t(pack[j])] = true;
                if (j > 0)
                    QVERIFY2(cells[size_t(pack[j - 1])].capacity <= cells[size_t(pack[j])].capacity, where);
            }
            QVERIFY2(groups[g].capacitySpread
                         == cells[size_t(pack.back())].capacity - cells[size_t(pack.front())].capacity,
                     where);
            if (g > 0)
                QVERIFY2(cells[size_t(groups[g - 1].cells.front())].capacity <= cells[size_t(pack.front())].capacity,
                         where);
        }

        const Totals got = totalsOf(cells, packsOf(groups));
        const auto want = BruteForce(cells, k).best();
        QVERIFY2(want, where);
        QVERIFY2(near(got.capacity, want->capacity) && near(got.resistance, want->resistance),
                 where + ": " + QByteArray::number(got.capacity) + "/" + QByteArray::number(got.resistance, 'g', 12)
                     + " against " + QByteArray::number(want->capacity) + "/"
                     + QByteArray::number(want->resistance, 'g', 12));
    }
}

QTEST_APPLESS_MAIN(TestMatching)
#include "tst_matching.moc"
