// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/WindowLauncher.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUrl>

namespace lumafold {

WindowLauncher::WindowLauncher(QObject* parent) : QDBusAbstractAdaptor(parent) {}

void WindowLauncher::Activate(const QVariantMap&)
{
    startWindow({});
}

void WindowLauncher::Open(const QStringList& uris, const QVariantMap&)
{
    QStringList files;
    for (const QString& uri : uris) {
        if (const QUrl url(uri); url.isLocalFile()) {
            files << url.toLocalFile();
        }
    }
    startWindow(files);
}

void WindowLauncher::ActivateAction(const QString&, const QVariantList&, const QVariantMap&)
{
    startWindow({});
}

void WindowLauncher::startWindow(const QStringList& files)
{
    QStringList arguments{QString::fromLatin1(takeOverOption), QStringLiteral("--")};
    QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments + files);
}

} // namespace lumafold
