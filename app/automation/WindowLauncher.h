// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantMap>

namespace lumafold {

// org.freedesktop.Application for the headless service, which the bus starts when the desktop
// activates the program: it has no window, so it starts one, which then takes the name over.
class WindowLauncher : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    // Given to the window it starts, which must not hand its files back to us.
    static constexpr const char* takeOverOption = "--take-over";

    explicit WindowLauncher(QObject* parent);

public slots:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData);

private:
    void startWindow(const QStringList& files);
};

} // namespace lumafold
