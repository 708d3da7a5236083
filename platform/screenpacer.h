#pragma once

// Shows a busy source's news at one pace. News after a quiet spell shows as
// soon as the event loop is back (the delivery that brought it handled);
// news within the pace of the last pass waits for the next pass, one pace
// after it. There are no passes without news: a program logging two lines
// a second wakes for them and for nothing else.
//
// The pass after a quiet spell is a posted call, not a zero timer: it runs
// before the screen's own repaint request (posted at a lower priority), so
// whatever the delivery itself put on screen (a counter, a label) is drawn
// in the same pass as the news, and the window is drawn once, not twice.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class ScreenPacer : public QObject
{
public:
    // `show` puts what is new on screen.
    ScreenPacer(int intervalMs, std::function<void()> show, QObject *parent = nullptr);

    // Something new waits to be shown.
    void news();
    // The pace runs: a pass is on its way or was less than a pace ago, and
    // news waits for the next pass rather than showing at once.
    bool running() const;

private:
    void pass();

    int interval_;
    bool posted_ = false; // a pass is posted to run when the event loop is back
    QTimer pass_;
    QElapsedTimer lastPass_;
    std::function<void()> show_;
};
