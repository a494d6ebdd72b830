// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/Appearance.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace lumafold::Appearance {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// The portal nests the value in one or two variants depending on its version.
uint unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value.toUInt();
}

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1f, 0x1f, 0x22), text(0xee, 0xee, 0xf0);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa0));
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x78, 0xae, 0xed));
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4f));
    palette.setColor(QPalette::Midlight, QColor(0x3f, 0x3f, 0x44));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x34));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x86));
    }
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x33, 0x33, 0x37));
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x55));
    return palette;
}

class SchemeListener : public QObject
{
    Q_OBJECT

public:
    explicit SchemeListener(QApplication& application) : QObject(&application), m_application(application) {}

public slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
    {
        if (group == appearanceNamespace && key == colorSchemeKey) {
            applyColorScheme(m_application, unwrap(value.variant()) == 1);
        }
    }

private:
    QApplication& m_application;
};

} // namespace

void applyColorScheme(QApplication& application, bool dark)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        application.setStyle(fusion);
    }
    application.setPalette(dark ? darkPalette() : application.style()->standardPalette());
}

void followDesktop(QApplication& application)
{
    if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("KDE"), Qt::CaseInsensitive)) {
        return;
    }
    // The variant GTK applications honour too, as the portal may not be there to ask.
    if (qEnvironmentVariable("GTK_THEME").endsWith(QStringLiteral(":dark"))) {
        applyColorScheme(application, true);
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << appearanceNamespace << colorSchemeKey;
    // Asked without waiting: the window shows at once and turns dark when the answer comes.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 2000), &application);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &application, [&application](auto* call) {
        call->deleteLater();
        const QDBusPendingReply<QVariant> reply = *call;
        if (reply.isValid()) {
            applyColorScheme(application, unwrap(reply.value()) == 1);
        }
    });
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                new SchemeListener(application), SLOT(settingChanged(QString, QString, QDBusVariant)));
}

} // namespace lumafold::Appearance

#include "Appearance.moc"
