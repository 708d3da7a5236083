#pragma once

// The charge clock: how long the charge has run, as every log line and
// chart point prints it. The window shows it and sets it going; the link
// reads it.

#include <QString>

class ChargeClock
{
public:
    // Fractions of a day: charge time = time of day - StartTime + TimeOffset.
    double StartTime = 0;
    double TimeOffset = 0;

    double chargeTime() const;
    QString chargeTimeText() const; // as log lines print it

    // Whether a charge has been started (by Start, by setting the charge
    // time) since the logs were cleared or the port closed.
    bool started() const { return started_; }
    // The clock counts from `now` (a time of day).
    void start(double now);
    // Counts from `now` again, with no charge started: the logs were cleared.
    void restart(double now);
    // Stop: no charge runs; what was shown is gone from the screen.
    void stop();
    // A charge brought back from the journal, as it was.
    void restore(double startTime, double timeOffset, bool started);

    // A tick of the shown clock: the charge time to show now. Just past
    // midnight the time of day starts again from 0, so the clock starts
    // again from now, carrying the charge time last shown, and keeps
    // growing.
    QString tick();

private:
    bool started_ = false;
    // The charge time last shown (whole seconds), when one is on screen.
    bool shown_ = false;
    double lastShown_ = 0;
};
