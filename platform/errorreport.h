#pragma once

#include <QObject>

#include <exception>
#include <type_traits>
#include <utility>

// The general error report: an error that escapes a handler is shown with its
// text in a message box and the program goes on.
void reportError(const std::exception &e);
void reportUnknownError();

// Runs `fn`, reporting any exception instead of letting it cross a Qt frame.
template <typename Fn, typename... Args>
void runGuarded(Fn &&fn, Args &&...args)
{
    try {
        fn(std::forward<Args>(args)...);
    } catch (const std::exception &e) {
        reportError(e);
    } catch (...) {
        reportUnknownError();
    }
}

// The one way handlers are connected: the handler runs under the general
// error report.
template <typename Sender, typename Signal, typename Fn>
QMetaObject::Connection connectHandler(Sender *sender, Signal signal, const QObject *context,
                                       Fn fn)
{
    return QObject::connect(sender, signal, context,
                            [fn = std::move(fn)](auto &&...args) mutable {
                                // Like Qt's own connections, a handler may take
                                // none of the signal's arguments.
                                if constexpr (std::is_invocable_v<Fn &, decltype(args)...>)
                                    runGuarded(fn, std::forward<decltype(args)>(args)...);
                                else
                                    runGuarded(fn);
                            });
}
