#pragma once

// Which channel is charging and how each channel's last charge stopped, as
// the window learns it from the link. The watch decides; the window keeps
// the computer awake and sends the notices it is told to.

#include "charts/chargesummary.h"

#include <array>

class ChargeWatch
{
public:
    // Channels by index: 0 is A, 1 is B.
    static constexpr int Channels = 2;

    // A sample on `channel`; `linkOpen`: it came over the open port (not
    // from a file). True when it begins a charge: from here until the
    // charge ends, the computer stays awake.
    bool sample(int channel, bool linkOpen);
    // The channel's end report. True when no channel charges any more: the
    // computer may sleep.
    bool ended(int channel);
    // Stop, or the wait for a lost adapter given up: every running charge
    // stops counting, for `why`; the computer may sleep.
    void interrupted(ChargeStop why);
    // The adapter is gone while the charger goes on: true when a charge was
    // running, which is worth a notice (the computer stays awake while the
    // adapter is awaited).
    bool linkLost();
    // The logs were cleared: the charges that ended are no longer in them.
    void logsCleared();

    bool charging(int channel) const { return charging_[size_t(channel)]; }
    bool anyCharging() const { return charging_[0] || charging_[1]; }
    // How the channel's last charge stands, for its summary; `linkAwaited`:
    // a lost adapter is awaited.
    ChargeStop stop(int channel, bool linkAwaited) const;

private:
    std::array<bool, Channels> charging_{};
    std::array<ChargeStop, Channels> stopped_{ChargeStop::Unknown, ChargeStop::Unknown};
};
