// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <stop_token>

namespace lumafold {

// The session-bus face of the "Combine PDFs" action. Each call runs CombinePDFsIntent::perform()
// on its own pool thread and is answered from there, so calls never wait for one another.
// Failures come back as D-Bus errors named app.marlo.Lumafold.Error.* carrying the message.
class AutomationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.marlo.Lumafold.Automation")
    Q_CLASSINFO("D-Bus Introspection", "  <interface name=\"app.marlo.Lumafold.Automation\">\n"
                                       "    <method name=\"CombinePDFs\">\n"
                                       "      <arg name=\"paths\" type=\"as\" direction=\"in\"/>\n"
                                       "      <arg name=\"combinedPath\" type=\"s\" direction=\"out\"/>\n"
                                       "      <arg name=\"dialog\" type=\"s\" direction=\"out\"/>\n"
                                       "    </method>\n"
                                       "  </interface>\n")

public:
    static constexpr const char* serviceName = "app.marlo.Lumafold";
    static constexpr const char* objectPath = "/app/marlo/Lumafold";

    explicit AutomationService(QObject* parent = nullptr);
    // Waits for the calls still running.
    ~AutomationService() override;

    // Exports the object at objectPath; owning serviceName is the caller's business.
    bool registerOn(QDBusConnection bus);
    int runningCalls() const { return m_running; }
    // Running calls stop at their next page and answer app.marlo.Lumafold.Error.Cancelled; so
    // does every later call.
    void cancelCalls() { m_stop.request_stop(); }

signals:
    void busy();
    // The last running call has been answered.
    void idle();

public slots:
    // Absolute paths only: the service does not share the caller's working directory.
    Q_SCRIPTABLE QString CombinePDFs(const QStringList& paths, QString& dialog);

private:
    void callFinished();

    QThreadPool m_pool;
    std::stop_source m_stop;
    int m_running = 0;
};

} // namespace lumafold
