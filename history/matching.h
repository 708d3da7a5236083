#pragma once

// Matching cells into packs: from the cells a user picked out of the charge
// history, as many packs of a given size as they allow, chosen so the cells
// of each pack are as alike as can be. Plain C++ so it can be tried on its
// own, apart from the window that shows the packs.

#include <optional>
#include <vector>

struct MatchCell {
    double capacity = 0;                 // mAh, > 0
    std::optional<double> resistance;    // ohms, when known
};

struct MatchGroup {
    std::vector<int> cells;              // indices into the input, in increasing capacity order
    double capacitySpread = 0;           // max - min capacity, mAh
    double capacitySpreadPercent = 0;    // (max - min) / mean capacity * 100
    std::optional<double> resistanceSpreadPercent; // same for resistance, when every cell of the group has one
};

// As many packs of `packSize` as the cells allow (cells.size() / packSize),
// chosen so the total capacity spread (sum over groups of max - min) is
// smallest; among equal totals (within 1e-9 of the largest capacity, which
// is to say rounding), the smaller total resistance spread (sum of max - min
// over the groups whose cells all have a resistance). Groups come in
// increasing order of their smallest capacity; cells left over are in no
// group. packSize < 1 or fewer cells than packSize: no groups.
//
// Equal totals are not rare: capacities are read to the mAh, and a pack
// straddling two cells of equal capacity can cost exactly what two packs
// meeting at them cost. The choice among those is then the resistance's, so
// the packs need not be runs of neighbouring capacities.
std::vector<MatchGroup> matchPacks(const std::vector<MatchCell> &cells, int packSize);
