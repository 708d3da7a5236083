#include "platform/screenpacer.h"

ScreenPacer::ScreenPacer(int intervalMs, std::function<void()> show, QObject *parent)
    : QObject(parent), interval_(intervalMs), show_(std::move(show))
{
    pass_.setSingleShot(true);
    connect(&pass_, &QTimer::timeout, this, &ScreenPacer::pass);
}

void ScreenPacer::pass()
{
    posted_ = false;
    lastPass_.start();
    show_();
}

bool ScreenPacer::running() const
{
    return posted_ || pass_.isActive() || (lastPass_.isValid() && lastPass_.elapsed() < interval_);
}

void ScreenPacer::news()
{
    if (posted_ || pass_.isActive())
        return;
    const qint64 since = lastPass_.isValid() ? lastPass_.elapsed() : interval_;
    if (since < interval_) {
        pass_.start(int(interval_ - since));
        return;
    }
    posted_ = true;
    QMetaObject::invokeMethod(this, &ScreenPacer::pass, Qt::QueuedConnection);
}
