#pragma once

#include <QString>

#include <functional>

namespace xcpy {

// Notifications of the desktop, for news the user may be looking away from.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;

    // Shows `summary` with `body`; `clicked` runs when the user clicks the notification. Where
    // the desktop shows none, nothing happens and nothing is reported.
    virtual void notify(const QString& summary, const QString& body,
                        std::function<void()> clicked) = 0;
};

} // namespace xcpy
