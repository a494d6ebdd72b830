// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/SingleInstance.h"

#include "automation/AutomationService.h"
#include "ui/LumafoldDelegate.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QPointer>
#include <QWidget>

namespace lumafold {

namespace {

const QString applicationInterface = QStringLiteral("org.freedesktop.Application");
constexpr int handOverTimeoutMs = 2000;

class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    ApplicationAdaptor(LumafoldDelegate& delegate, QWidget& window, QObject* parent)
        : QDBusAbstractAdaptor(parent), m_delegate(&delegate), m_window(&window)
    {}

public slots:
    void Activate(const QVariantMap&) { raise(); }
    void Open(const QStringList& uris, const QVariantMap&)
    {
        QList<QUrl> files;
        for (const QString& uri : uris) {
            files << QUrl(uri);
        }
        if (m_delegate) {
            m_delegate->accept(files);
        }
        raise();
    }
    // The desktop entry's actions run commands of their own; nothing is served here.
    void ActivateAction(const QString&, const QVariantList&, const QVariantMap&) { raise(); }

private:
    void raise()
    {
        if (m_window) {
            m_window->showNormal();
            m_window->raise();
            m_window->activateWindow();
        }
    }

    QPointer<LumafoldDelegate> m_delegate;
    QPointer<QWidget> m_window;
};

} // namespace

namespace SingleInstance {

bool handToRunningWindow(const QList<QUrl>& files)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    const bool open = !files.isEmpty();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(AutomationService::serviceName), QString::fromLatin1(AutomationService::objectPath),
        applicationInterface, open ? QStringLiteral("Open") : QStringLiteral("Activate"));
    // A name nobody holds must not start the headless service, and a headless service has no
    // window to take the files: either answer sends us on to show a window of our own.
    call.setAutoStartService(false);
    QStringList uris;
    for (const QUrl& file : files) {
        uris << file.toString();
    }
    if (open) {
        call << uris;
    }
    call << QVariantMap();
    return bus.call(call, QDBus::Block, handOverTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

bool serve(LumafoldDelegate& delegate, QWidget& window, QObject* owner)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    auto* service = new AutomationService(owner);
    new ApplicationAdaptor(delegate, window, service);
    if (!service->registerOn(bus)) {
        return false;
    }
    const auto owned = bus.interface()->registerService(QString::fromLatin1(AutomationService::serviceName),
                                                        QDBusConnectionInterface::ReplaceExistingService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    return owned.isValid() && owned.value() == QDBusConnectionInterface::ServiceRegistered;
}

} // namespace SingleInstance

} // namespace lumafold

#include "SingleInstance.moc"
