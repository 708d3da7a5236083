#include "charts/chargewatch.h"

bool ChargeWatch::sample(int channel, bool linkOpen)
{
    const size_t i = size_t(channel);
    if (charging_[i] || !linkOpen)
        return false;
    charging_[i] = true;
    stopped_[i] = ChargeStop::Running;
    return true;
}

bool ChargeWatch::ended(int channel)
{
    charging_[size_t(channel)] = false;
    return !anyCharging();
}

void ChargeWatch::interrupted(ChargeStop why)
{
    for (size_t i = 0; i < Channels; ++i) {
        if (charging_[i])
            stopped_[i] = why;
        charging_[i] = false;
    }
}

bool ChargeWatch::linkLost()
{
    if (!anyCharging())
        return false;
    for (size_t i = 0; i < Channels; ++i)
        if (charging_[i])
            stopped_[i] = ChargeStop::LinkLost;
    return true;
}

void ChargeWatch::logsCleared()
{
    for (size_t i = 0; i < Channels; ++i)
        if (!charging_[i])
            stopped_[i] = ChargeStop::Unknown;
}

ChargeStop ChargeWatch::stop(int channel, bool linkAwaited) const
{
    if (!charging_[size_t(channel)])
        return stopped_[size_t(channel)];
    return linkAwaited ? ChargeStop::LinkLost : ChargeStop::Running;
}
