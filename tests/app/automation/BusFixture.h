// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "AutomationTestSupport.h"
#include "support/TestApplication.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QStringList>
#include <QTest>

namespace lumafold::test {

inline auto* const busApplication = ::testing::AddGlobalTestEnvironment(new TestApplication<QCoreApplication>);

inline const QString serviceName = QStringLiteral("app.marlo.Lumafold");

inline QString qt(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

// Runs on the private session bus that dbus-run-session starts for each test. The service is
// activated from the test prefix and works in this test's own temporary folder.
class BusFixture : public CombineFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus().isConnected()) << "run under dbus-run-session";
        qDBusRegisterMetaType<QMap<QString, QString>>();
        auto update = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
        // A window the service starts needs a display it can have in a test.
        update << QVariant::fromValue(
            QMap<QString, QString>{{QStringLiteral("TMPDIR"), qt(temporary.path())},
                                   {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}});
        const auto reply = bus().call(update);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    static QDBusConnection bus() { return QDBusConnection::sessionBus(); }

    static QDBusMessage combineCall(const QStringList& paths)
    {
        auto call = QDBusMessage::createMethodCall(serviceName, QStringLiteral("/app/marlo/Lumafold"),
                                                   QStringLiteral("app.marlo.Lumafold.Automation"),
                                                   QStringLiteral("CombinePDFs"));
        call << paths;
        return call;
    }

    // Slow under the sanitizers, so the timeout is generous.
    static QDBusMessage combine(const QStringList& paths)
    {
        return bus().call(combineCall(paths), QDBus::Block, 120000);
    }

    static bool serviceRuns() { return bus().interface()->isServiceRegistered(serviceName).value(); }
};

} // namespace lumafold::test
