#pragma once

// Shows a busy source's news at one pace. News after a quiet spell shows as
// soon as the event loop is back (the delivery that brought it handled);
// what follows while the pace runs waits for its next pass. A pass that
// finds nothing new lets the pace stop, and the next news starts it again.

#include <QObject>
#include <QTimer>

#include <functional>

class ScreenPacer : public QObject
{
public:
    // `show` puts what is new on screen and says whether there was any.
    ScreenPacer(int intervalMs, std::function<bool()> show, QObject *parent = nullptr);

    // Something new waits to be shown.
    void news();
    // The pace runs: news waits for the next pass rather than showing at once.
    bool running() const { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<bool()> show_;
};
