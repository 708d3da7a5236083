#include "platform/screenpacer.h"

ScreenPacer::ScreenPacer(int intervalMs, std::function<bool()> show, QObject *parent)
    : QObject(parent), show_(std::move(show))
{
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!show_())
            timer_.stop();
    });
}

void ScreenPacer::news()
{
    if (timer_.isActive())
        return;
    timer_.start();
    QTimer::singleShot(0, this, [this] { show_(); });
}
