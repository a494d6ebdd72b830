// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/AppModel.h"

#include "lumafold/update/Updater.h"
#include "model/BundleInfo.h"
#include "update/SelfUpdater.h"

#include <QFutureWatcher>
#include <QSettings>
#include <QtConcurrent/QtConcurrentRun>

namespace lumafold {

namespace {

QSettings userDefaults()
{
    return QSettings(QStringLiteral("Marlo"), QStringLiteral("Lumafold"));
}

} // namespace

AppModel::UpdateSetup AppModel::UpdateSetup::standard()
{
    return {.manifestURL = updateManifest(),
            .runningVersion = BundleInfo::runningVersion(),
            .session = [] { return std::make_unique<CurlHttpClient>(); },
            .install =
                [](const UpdateInfo& update, HttpClient& session, std::stop_token stop) {
                    SelfUpdater::install(update, session, std::move(stop));
                }};
}

const QString& AppModel::updateManifest()
{
    static const QString manifest = QStringLiteral("https://marlo.app/lumafold/latest.json");
    return manifest;
}

void AppModel::checkForUpdate()
{
    runUpdateCheck([this](const std::optional<UpdateInfo>& update) {
        setAvailableUpdate(update);
        // A version put off once is not offered again at start; the menu still offers it.
        if (update &&
            userDefaults().value(updatePromptedVersionKey).toString() != QString::fromStdString(update->version)) {
            promptForUpdate();
        }
    });
}

void AppModel::checkForUpdatesManually()
{
    if (m_isUpdating || m_isCheckingForUpdate) {
        return;
    }
    setIsCheckingForUpdate(true);
    runUpdateCheck([this](const std::optional<UpdateInfo>& update) {
        setAvailableUpdate(update);
        setIsCheckingForUpdate(false);
        if (m_availableUpdate) {
            promptForUpdate();
            return;
        }
        m_dialogs.alert({.text = tr("You're up to date"),
                         .informativeText = tr("Marlo Lumafold %1 is the latest version.").arg(m_version)});
    });
}

void AppModel::promptForUpdate()
{
    if (!m_availableUpdate || m_isUpdating) {
        return;
    }
    const UpdateInfo update = *m_availableUpdate;
    const QString version = QString::fromStdString(update.version);
    const int answer = m_dialogs.alert(
        {.text = tr("A new version of Marlo Lumafold is available"),
         .informativeText = tr("Version %1 is ready. The app will update itself and relaunch.").arg(version),
         .buttons = {tr("Update Now"), tr("Later")}});
    if (answer != 0) {
        userDefaults().setValue(updatePromptedVersionKey, version);
        return;
    }
    // Another prompt, answered while this one was open, may have started the installation.
    if (m_isUpdating) {
        return;
    }
    setIsUpdating(true);
    runInstall(update);
}

void AppModel::runUpdateCheck(std::function<void(const std::optional<UpdateInfo>&)> apply)
{
    // A child of the model: gone with it, and its result with it.
    auto* watcher = new QFutureWatcher<std::optional<UpdateInfo>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, apply = std::move(apply)] {
        watcher->deleteLater();
        apply(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([url = m_updates.manifestURL.toStdString(), version = m_version.toStdString(),
                                          session = m_updates.session]() -> std::optional<UpdateInfo> {
        try {
            return Updater::check(url, version, *session());
        } catch (...) {
            return std::nullopt;
        }
    }));
}

void AppModel::runInstall(const UpdateInfo& update)
{
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->result()) {
            // isUpdating stays set: if the quit guard keeps the program running, the replacement
            // still waits for it to end, and nothing may start another.
            emit terminationRequested();
            return;
        }
        setIsUpdating(false);
        setErrorMessage(tr("The update could not be installed."));
    });
    watcher->setFuture(QtConcurrent::run(
        [update, install = m_updates.install, session = m_updates.session, stop = m_installStop.get_token()] {
            try {
                install(update, *session(), stop);
                return true;
            } catch (...) {
                return false;
            }
        }));
}

} // namespace lumafold
