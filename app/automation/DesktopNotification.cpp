// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/DesktopNotification.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

#include <memory>

namespace lumafold {

namespace {

constexpr int callTimeoutMs = 5000;

QDBusMessage notificationsCall(const char* method)
{
    return QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                          "org.freedesktop.Notifications", method);
}

std::string sendWith(QDBusConnection bus, const std::string& summary, const std::string& body, bool isError)
{
    if (!bus.isConnected()) {
        return bus.lastError().message().toStdString();
    }
    QString text = QString::fromStdString(body);
    // A server that reads markup would take "&" or "<" in a path for the start of a tag.
    const QDBusReply<QStringList> capabilities =
        bus.call(notificationsCall("GetCapabilities"), QDBus::Block, callTimeoutMs);
    if (capabilities.isValid() && capabilities.value().contains(QStringLiteral("body-markup"))) {
        text = text.toHtmlEscaped();
    }
    auto notify = notificationsCall("Notify");
    notify << QStringLiteral("Lumafold") << 0u
           << (isError ? QStringLiteral("dialog-error") : QStringLiteral("app.marlo.Lumafold"))
           << QString::fromStdString(summary) << text << QStringList()
           << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("app.marlo.Lumafold")}} << -1;
    const QDBusReply<uint> reply = bus.call(notify, QDBus::Block, callTimeoutMs);
    return reply.isValid() ? std::string() : reply.error().message().toStdString();
}

} // namespace

std::string showDesktopNotification(const std::string& summary, const std::string& body, bool isError)
{
    static int argc = 1;
    static char name[] = "lumafold";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> application;
    if (!QCoreApplication::instance()) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    // A private connection, closed before a temporary application object goes away.
    const QString connectionName = QStringLiteral("lumafold-notification");
    std::string problem =
        sendWith(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName), summary, body, isError);
    QDBusConnection::disconnectFromBus(connectionName);
    return problem;
}

} // namespace lumafold
