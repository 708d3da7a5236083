#pragma once

// The link's events into a channel's charge summaries, valued as the log
// prints them, so that a charge sums up live exactly as from its lines.

#include "charts/chargesummary.h"
#include "link/linkview.h"

class SummaryFeed
{
public:
    ChargeSummaries summaries;
    void take(const LogEvent &e);

private:
    // The last charge time read back: a second's samples share it, and
    // reading a time costs more than the rest of a sample's summing.
    QString timeText_;
    double time_ = 0;
    bool timeRead_ = false;
};
