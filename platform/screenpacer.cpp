#include "platform/screenpacer.h"

ScreenPacer::ScreenPacer(int intervalMs, std::function<void()> show, QObject *parent)
    : QObject(parent), interval_(intervalMs), show_(std::move(show))
{
    pass_.setSingleShot(true);
    connect(&pass_, &QTimer::timeout, this, [this] {
        lastPass_.start();
        show_();
    });
}

bool ScreenPacer::running() const
{
    return pass_.isActive() || (lastPass_.isValid() && lastPass_.elapsed() < interval_);
}

void ScreenPacer::news()
{
    if (pass_.isActive())
        return;
    const qint64 since = lastPass_.isValid() ? lastPass_.elapsed() : interval_;
    pass_.start(int(std::max<qint64>(0, interval_ - since)));
}
