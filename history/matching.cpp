#include "history/matching.h"

// How the packs are found.
//
// Sort the cells by capacity; let the distinct capacities be v1 < v2 < ...
// The capacity spread of a choice is the sum, over the gaps between
// neighbouring capacities, of the gap's width times the number of packs
// reaching across it. With L chosen cells below a gap, some pack must reach
// across it when L is not a multiple of the pack size k, and cutting the
// sorted chosen cells into packs of k makes exactly that one pack do so and
// none elsewhere. So a choice has the smallest capacity spread exactly when
// its chosen cells are a best set and each gap is crossed by one pack when
// L mod k != 0 and by none otherwise. Those choices are what the resistance
// decides between, and they are not only runs of neighbouring capacities:
// with capacities 1000, 1500, 1500, 2000 and packs of two, {1000, 2000} with
// {1500, 1500} costs the same 1000 mAh as the two runs do.
//
// So the search goes up the capacities keeping, for each count L of cells
// chosen below, the smallest capacity spread and the resistance states that
// may still win: the resistance spread so far and what the one pack open
// across the gap holds. Within one capacity every cell goes to the pack
// coming from below, to the pack going on above, to a pack wholly of this
// capacity, or is spare: left over, or filling a "free" pack, one holding a
// cell without a resistance, whose resistance spread does not count. Packs
// wholly of one capacity whose cells all have a resistance can be taken as
// runs of neighbouring resistances (two that overlap can be uncrossed at no
// cost), so sweeping a capacity's cells in resistance order, with the cells
// lacking one first, only one such pack is ever being filled.
//
// Fewer than k cells are left over in all, so few counts L are possible at
// any gap and the search is close to linear in the number of cells when
// equal capacities are few.

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstdint>
#include <limits>
#include <numeric>

namespace {

// The resistance side of a pack still being filled.
struct Open {
    enum Kind : std::uint8_t { None, Free, Range };
    Kind kind = None;
    double lo = 0;
    double hi = 0;

    Open with(const std::optional<double> &r) const
    {
        if (!r)
            return {Free, 0, 0};
        switch (kind) {
        case None:
            return {Range, *r, *r};
        case Free:
            return *this;
        case Range:
            break;
        }
        return {Range, std::min(lo, *r), std::max(hi, *r)};
    }
    double cost() const { return kind == Range ? hi - lo : 0; }
};

// The most a pack in state a can end up costing beyond one in state b when
// the same cells are added to both: what a reaches beyond b. (Should a cell
// without a resistance come, both cost nothing.)
double excess(const Open &a, const Open &b)
{
    constexpr double never = std::numeric_limits<double>::infinity();
    if (a.kind == Open::None || b.kind == Open::None)
        return a.kind == b.kind ? 0 : never;
    if (a.kind == Open::Free)
        return 0;
    if (b.kind == Open::Free)
        return never;
    return std::max(0.0, a.hi - b.hi) + std::max(0.0, b.lo - a.lo);
}

// Where a cell of the capacity being swept went.
enum Role : std::uint8_t { Spare, ToIncoming, ToOutgoing, ToRun };

// Counts in the sweep of one capacity; two nodes with equal keys have the
// same ways left to finish, save for how many spare cells they can still
// afford (Node::slack).
struct Key {
    int skipped = 0;      // cells left over below this capacity
    bool through = false; // the pack from below goes on above, none opens here
    int incoming = 0;     // cells of the pack from below; 0 none, k closed
    int outgoing = 0;     // cells of the pack opened here to go on above
    int run = 0;          // cells of the pack of this capacity being filled
    int spareRest = 0;    // spare cells modulo k: those left over in the end
    auto operator<=>(const Key &) const = default;
};

struct Node {
    Key key;
    double res = 0;
    Open in;
    Open out;
    // Spare cells go into free packs, k at a time, each needing a cell
    // without a resistance; the rest are left over. spareMissing * (k - 1)
    // - spareKnown is how many more spare cells with a resistance the free
    // packs could take, and having more of that is never worse.
    int spareMissing = 0;
    int spareKnown = 0;
    int prev = 0;
    Role role = Spare;

    int slack(int k) const { return spareMissing * (k - 1) - spareKnown; }
};

struct Step {
    int prev;
    Role role;
};

// A state at a gap between capacities.
struct Entry {
    int chosen = 0; // L: cells in packs below the gap
    double cap = 0;
    double res = 0;
    Open open;      // the pack across the gap, when chosen % k != 0
    int from = -1;  // node of the last sweep step of the capacity below
    int freePacks = 0;
};

struct Bucket {
    bool used = false;
    double cap = 0;
    std::vector<Entry> entries;
};

// slackUse: the most slack the cells still to come could use up; more than
// that is worth no more.
bool dominates(const Node &a, const Node &b, int k, int slackUse, double tolRes)
{
    return std::min(a.slack(k), slackUse) >= std::min(b.slack(k), slackUse)
        && a.res + excess(a.in, b.in) + excess(a.out, b.out) <= b.res + tolRes;
}

// Keeps, for each key, the nodes no other node beats.
void prune(std::vector<Node> &nodes, std::vector<Node> &kept, int k, int slackUse, double tolRes)
{
    std::sort(nodes.begin(), nodes.end(), [](const Node &a, const Node &b) {
        if (a.key != b.key)
            return a.key < b.key;
        return a.res < b.res;
    });
    kept.clear();
    size_t groupStart = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const Node &n = nodes[i];
        if (i == 0 || n.key != nodes[i - 1].key)
            groupStart = kept.size();
        bool beaten = false;
        for (size_t j = groupStart; j < kept.size() && !beaten; ++j)
            beaten = dominates(kept[j], n, k, slackUse, tolRes);
        if (beaten)
            continue;
        kept.erase(std::remove_if(kept.begin() + groupStart, kept.end(),
                                  [&](const Node &o) { return dominates(n, o, k, slackUse, tolRes); }),
                   kept.end());
        kept.push_back(n);
    }
}

void offer(Bucket &b, const Entry &e, double tolCap, double tolRes)
{
    if (!b.used || e.cap < b.cap - tolCap) {
        b.used = true;
        b.cap = e.cap;
        b.entries.assign(1, e);
        return;
    }
    if (e.cap > b.cap + tolCap)
        return;
    b.cap = std::min(b.cap, e.cap);
    for (const Entry &o : b.entries)
        if (o.res + excess(o.open, e.open) <= e.res + tolRes)
            return;
    std::erase_if(b.entries, [&](const Entry &o) { return e.res + excess(e.open, o.open) <= o.res + tolRes; });
    b.entries.push_back(e);
}

} // namespace

std::vector<MatchGroup> matchPacks(const std::vector<MatchCell> &cells, int packSize)
{
    const int n = int(cells.size());
    const int k = packSize;
    if (k < 1 || n < k)
        return {};
    const int need = n / k * k;
    const int budget = n - need; // cells left over in all, fewer than k

    // A resistance that is not a number counts as not measured.
    auto resistance = [&](int i) -> std::optional<double> {
        const auto &r = cells[i].resistance;
        return r && std::isfinite(*r) ? r : std::nullopt;
    };
    auto capacity = [&](int i) { return cells[i].capacity; };

    double maxCap = 0;
    double maxRes = 0;
    for (int i = 0; i < n; ++i) {
        maxCap = std::max(maxCap, std::fabs(capacity(i)));
        if (auto r = resistance(i))
            maxRes = std::max(maxRes, std::fabs(*r));
    }
    // Sums taken in different orders differ in the last bits; that is not
    // a better choice.
    const double tolCap = 1e-9 * maxCap;
    const double tolRes = 1e-9 * maxRes;

    // The sweep order: by capacity, and within one capacity the cells
    // without a resistance first (so the spare ones are counted before the
    // cells that might fill their packs), then by resistance.
    std::vector<int> seq(n, 0);
    std::iota(seq.begin(), seq.end(), 0);
    std::stable_sort(seq.begin(), seq.end(), [&](int a, int b) { return capacity(a) < capacity(b); });
    struct Level {
        int begin;
        int end;
        int missing;
    };
    std::vector<Level> levels;
    for (int b = 0; b < n;) {
        int e = b;
        while (e < n && capacity(seq[e]) == capacity(seq[b]))
            ++e;
        std::stable_sort(seq.begin() + b, seq.begin() + e, [&](int x, int y) {
            const auto rx = resistance(x);
            const auto ry = resistance(y);
            if (!rx || !ry)
                return !rx && ry.has_value();
            return *rx < *ry;
        });
        int missing = 0;
        while (b + missing < e && !resistance(seq[b + missing]))
            ++missing;
        levels.push_back({b, e, missing});
        b = e;
    }

    const int m = int(levels.size());
    std::vector<std::vector<Entry>> gaps(m + 1);
    gaps[0].push_back(Entry{});
    std::vector<std::vector<std::vector<Step>>> steps(m);
    std::vector<Node> cur;
    std::vector<Node> next;

    for (int t = 0; t < m; ++t) {
        const Level lv = levels[t];
        const bool last = t + 1 == m;
        const int size = lv.end - lv.begin;
        const double width = last ? 0 : capacity(seq[levels[t + 1].begin]) - capacity(seq[lv.begin]);
        auto &layers = steps[t];
        layers.resize(size + 1);

        std::vector<double> capIn(budget + 1, 0);
        cur.clear();
        for (size_t gi = 0; gi < gaps[t].size(); ++gi) {
            const Entry &g = gaps[t][gi];
            Node nd;
            nd.key.skipped = lv.begin - g.chosen;
            nd.key.incoming = g.chosen % k;
            nd.res = g.res;
            nd.in = g.open;
            nd.prev = int(gi);
            capIn[nd.key.skipped] = g.cap;
            cur.push_back(nd);
            if (nd.key.incoming > 0 && !last) {
                nd.key.through = true;
                cur.push_back(nd);
            }
        }
        for (const Node &nd : cur)
            layers[0].push_back({nd.prev, Spare});

        for (int s = 0; s < size; ++s) {
            const int cell = seq[lv.begin + s];
            const auto r = resistance(cell);
            const double rise = r && s > lv.missing ? *r - *resistance(seq[lv.begin + s - 1]) : 0;
            const int after = size - s - 1;                       // cells still to come
            const int knownAfter = std::min(after, size - lv.missing); // of them with a resistance
            // Drops nodes that can no longer end well within this capacity.
            auto viable = [&](const Key &key) {
                if (key.run > 0 && key.run + knownAfter < k)
                    return false;
                const bool inOpen = key.incoming > 0 && key.incoming < k;
                if (inOpen && !key.through && key.incoming + after < k)
                    return false;
                return true;
            };
            next.clear();
            for (size_t i = 0; i < cur.size(); ++i) {
                Node base = cur[i];
                base.prev = int(i);
                if (base.key.run > 0)
                    base.res += rise; // the run being filled widens by the step to this cell
                auto push = [&](Node nd, Role role) {
                    nd.role = role;
                    if (viable(nd.key))
                        next.push_back(nd);
                };
                // More spare cells than the free packs and the left-over
                // allowance can take cannot end well.
                if (!r || base.slack(k) + budget - base.key.skipped > 0) {
                    Node nd = base;
                    ++(r ? nd.spareKnown : nd.spareMissing);
                    nd.key.spareRest = (nd.key.spareRest + 1) % k;
                    push(nd, Spare);
                }
                if (base.key.incoming > 0 && base.key.incoming + (base.key.through ? 1 : 0) < k) {
                    Node nd = base;
                    nd.in = nd.in.with(r);
                    if (++nd.key.incoming == k) {
                        nd.res += nd.in.cost();
                        nd.in = {};
                    }
                    push(nd, ToIncoming);
                }
                if (!last && !base.key.through && base.key.outgoing < k - 1) {
                    Node nd = base;
                    nd.out = nd.out.with(r);
                    ++nd.key.outgoing;
                    push(nd, ToOutgoing);
                }
                if (r) {
                    Node nd = base;
                    if (++nd.key.run == k)
                        nd.key.run = 0;
                    push(nd, ToRun);
                }
            }
            if (r) {
                // A pack from below that must close within this capacity
                // still takes a cell at or above r, so all that tells such
                // packs apart is how far they reach beyond r: the stretch
                // from their lowest resistance up to r is paid now.
                for (Node &nd : next) {
                    if (nd.key.through || nd.key.incoming == 0 || nd.key.incoming == k || nd.in.kind != Open::Range)
                        continue;
                    if (nd.in.lo < *r) {
                        nd.res += *r - nd.in.lo;
                        nd.in.lo = *r;
                    }
                    nd.in.hi = std::max(nd.in.hi, *r);
                }
            }
            prune(next, cur, k, knownAfter, tolRes);
            auto &layer = layers[s + 1];
            layer.reserve(cur.size());
            for (const Node &nd : cur)
                layer.push_back({nd.prev, nd.role});
        }

        std::vector<Bucket> buckets(budget + 1);
        for (size_t i = 0; i < cur.size(); ++i) {
            const Node &nd = cur[i];
            if (nd.key.run != 0)
                continue;
            const bool inOpen = nd.key.incoming > 0 && nd.key.incoming < k;
            if (inOpen != nd.key.through)
                continue;
            const int across = inOpen ? nd.key.incoming : nd.key.outgoing;
            // Fewer than k cells are left over, so the spare cells make as
            // many free packs as they can.
            const int leftOver = nd.key.spareRest;
            if (nd.key.skipped + leftOver > budget || nd.slack(k) + leftOver < 0)
                continue;
            Entry e;
            e.chosen = lv.begin - nd.key.skipped + size - leftOver;
            if (e.chosen > need || (last && (e.chosen != need || across != 0)))
                continue;
            e.cap = capIn[nd.key.skipped] + (across > 0 ? width : 0);
            e.res = nd.res;
            e.open = inOpen ? nd.in : nd.out;
            e.from = int(i);
            e.freePacks = (nd.spareMissing + nd.spareKnown) / k;
            offer(buckets[nd.key.skipped + leftOver], e, tolCap, tolRes);
        }
        for (const Bucket &b : buckets)
            for (Entry e : b.entries) {
                e.cap = b.cap;
                gaps[t + 1].push_back(e);
            }
    }

    const auto &finals = gaps[m];
    if (finals.empty())
        return {}; // not reachable: cutting the sorted cells into runs always works
    size_t best = 0;
    for (size_t i = 1; i < finals.size(); ++i)
        if (finals[i].res < finals[best].res)
            best = i;

    // Walk the steps back for where each cell went.
    std::vector<Role> role(n, Spare);
    std::vector<int> freePacks(m, 0);
    std::vector<int> chosenBelow(m, 0);
    int gi = int(best);
    for (int t = m - 1; t >= 0; --t) {
        const Level lv = levels[t];
        const Entry &g = gaps[t + 1][gi];
        freePacks[t] = g.freePacks;
        int id = g.from;
        for (int s = lv.end - lv.begin; s >= 1; --s) {
            const Step st = steps[t][s][id];
            role[lv.begin + s - 1] = st.role;
            id = st.prev;
        }
        gi = steps[t][0][id].prev;
        chosenBelow[t] = gaps[t][gi].chosen;
    }

    // Then make the packs, from the top down: `across` gathers the pack
    // crossing the gap above the capacity at hand.
    std::vector<std::vector<int>> packs;
    std::vector<int> across;
    for (int t = m - 1; t >= 0; --t) {
        const Level lv = levels[t];
        std::vector<int> toIn, toOut, toRun, spare;
        for (int p = lv.begin; p < lv.end; ++p) {
            const int cell = seq[p];
            switch (role[p]) {
            case ToIncoming: toIn.push_back(cell); break;
            case ToOutgoing: toOut.push_back(cell); break;
            case ToRun: toRun.push_back(cell); break;
            case Spare:
                spare.push_back(cell); // those without a resistance come first
                break;
            }
        }
        const int fromBelow = chosenBelow[t] % k;
        if (fromBelow > 0 && fromBelow + int(toIn.size()) < k) {
            across.insert(across.end(), toIn.begin(), toIn.end()); // goes on down
        } else {
            across.insert(across.end(), toOut.begin(), toOut.end());
            if (!across.empty())
                packs.push_back(std::move(across));
            across = std::move(toIn);
        }
        for (int i = 0; i + k <= int(toRun.size()); i += k)
            packs.emplace_back(toRun.begin() + i, toRun.begin() + i + k);
        int filler = freePacks[t];
        for (int f = 0; f < freePacks[t]; ++f) {
            std::vector<int> pack{spare[f]};
            while (int(pack.size()) < k)
                pack.push_back(spare[filler++]);
            packs.push_back(std::move(pack));
        }
    }

    std::vector<MatchGroup> groups;
    groups.reserve(packs.size());
    for (auto &pack : packs) {
        std::sort(pack.begin(), pack.end(), [&](int a, int b) {
            return capacity(a) < capacity(b) || (capacity(a) == capacity(b) && a < b);
        });
        MatchGroup g;
        g.cells = pack;
        double sum = 0;
        for (int c : pack)
            sum += capacity(c);
        const double mean = sum / double(pack.size());
        g.capacitySpread = capacity(pack.back()) - capacity(pack.front());
        g.capacitySpreadPercent = mean > 0 ? g.capacitySpread / mean * 100 : 0;
        bool all = true;
        double lo = 0, hi = 0, rsum = 0;
        for (size_t i = 0; i < pack.size() && all; ++i) {
            const auto r = resistance(pack[i]);
            all = r.has_value();
            if (!all)
                break;
            lo = i == 0 ? *r : std::min(lo, *r);
            hi = i == 0 ? *r : std::max(hi, *r);
            rsum += *r;
        }
        if (all) {
            const double rmean = rsum / double(pack.size());
            g.resistanceSpreadPercent = rmean > 0 ? (hi - lo) / rmean * 100 : 0;
        }
        groups.push_back(std::move(g));
    }
    std::sort(groups.begin(), groups.end(), [&](const MatchGroup &a, const MatchGroup &b) {
        const int x = a.cells.front(), y = b.cells.front();
        return capacity(x) < capacity(y) || (capacity(x) == capacity(y) && x < y);
    });
    return groups;
}
