#pragma once

#include "companions/desktop_notifier.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

namespace xcpy {

// Notifications through the freedesktop.org notification service on the session bus. A click
// is the service's "default" action. Without a bus or a service the notifications are dropped.
class DBusNotifier : public QObject, public DesktopNotifier {
    Q_OBJECT
public:
    explicit DBusNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus());

    void notify(const QString& summary, const QString& body,
                std::function<void()> clicked) override;

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
    QHash<uint, std::function<void()>> shown_; // by the service's id, until closed
};

} // namespace xcpy
