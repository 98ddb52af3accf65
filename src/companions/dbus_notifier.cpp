#include "companions/dbus_notifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace xcpy {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DBusNotifier::DBusNotifier(const QDBusConnection& bus) : bus_(bus) {
    // Any sender: the service may start, or be replaced, after us.
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
}

void DBusNotifier::notify(const QString& summary, const QString& body,
                          std::function<void()> clicked) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QString program = QCoreApplication::applicationName();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), program}};
    call << program << uint(0) << program << summary << body
         << QStringList{QStringLiteral("default"), QStringLiteral("開く")} << hints << qint32(-1);
    // Asked without waiting: a desktop without the service answers with an error, or late.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, clicked = std::move(clicked)] {
                watcher->deleteLater();
                const QDBusPendingReply<uint> reply = *watcher;
                if (reply.isValid())
                    shown_.insert(reply.value(), clicked);
            });
}

void DBusNotifier::actionInvoked(uint id, const QString& action) {
    const std::function<void()> clicked = shown_.value(id);
    if (action == QLatin1String("default") && clicked)
        clicked();
}

void DBusNotifier::notificationClosed(uint id, uint) {
    shown_.remove(id);
}

} // namespace xcpy
