#pragma once

// Cells matched into packs: from the cells a user picked out of the charge
// history, as many packs of a given size as they allow, each of cells as
// alike as can be. Plain C++, apart from the window that shows the packs.

#include <optional>
#include <vector>

struct MatchCell
{
    double capacity = 0;              // mAh
    std::optional<double> resistance; // ohms, when known
};

struct MatchGroup
{
    std::vector<int> cells;           // indices into the input, in increasing capacity order
    double capacitySpread = 0;        // max - min capacity, mAh
    double capacitySpreadPercent = 0; // (max - min) / mean capacity * 100
    std::optional<double> resistanceSpreadPercent; // the same, when every cell of the pack has one
};

// As many packs of `packSize` as the cells allow (cells.size() / packSize).
// Packs are runs of neighbouring cells in capacity order, as sorting them by
// hand gives (cells of equal capacity in order of resistance, those without
// one last), so no pack joins a low cell with a high one; the spare cells
// are left out, between packs, where that makes the total capacity spread
// (the sum of each pack's max - min) smallest, which no other way of
// packing beats, and among equal totals the total resistance spread (over
// packs whose cells all have one). Packs come in increasing capacity
// order. packSize < 1 or fewer cells than packSize: no packs.
std::vector<MatchGroup> matchPacks(const std::vector<MatchCell> &cells, int packSize);
