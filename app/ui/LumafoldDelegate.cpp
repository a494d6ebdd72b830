// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/LumafoldDelegate.h"

#include "model/AppModel.h"
#include "model/Dialogs.h"

#include <QDir>
#include <QTimer>

namespace lumafold {

namespace {

QUrl standardized(const QUrl& file)
{
    return file.isLocalFile() ? QUrl::fromLocalFile(QDir::cleanPath(file.toLocalFile())) : file;
}

} // namespace

LumafoldDelegate::LumafoldDelegate(Dialogs& dialogs, QObject* parent) : QObject(parent), m_dialogs(dialogs) {}

void LumafoldDelegate::accept(const QList<QUrl>& files)
{
    QList<QUrl> kept;
    for (const QUrl& file : files) {
        const QUrl location = standardized(file);
        if (!m_recentlyAccepted.contains(location)) {
            m_recentlyAccepted.insert(location);
            kept.append(location);
        }
    }
    if (kept.isEmpty()) {
        return;
    }
    m_pending.append(kept);
    flush();
    QTimer::singleShot(deduplicationMs, this, [this, kept] {
        for (const QUrl& location : kept) {
            m_recentlyAccepted.remove(location);
        }
    });
}

void LumafoldDelegate::setModel(AppModel* model)
{
    m_model = model;
    flush();
}

void LumafoldDelegate::flush()
{
    if (!m_model || m_pending.isEmpty()) {
        return;
    }
    // Taken even while an export runs, when the model adds nothing: a file opened then is not
    // kept for later.
    m_model->add(std::exchange(m_pending, {}));
}

bool LumafoldDelegate::shouldTerminate()
{
    if (!m_model || !m_model->isExporting()) {
        return true;
    }
    const int answer =
        m_dialogs.alert({.style = Dialogs::Alert::Style::warning,
                         .text = tr("PDF export is still in progress"),
                         .informativeText = tr("Quitting now stops the export. Source PDFs remain unchanged."),
                         .buttons = {tr("Continue Exporting"), tr("Stop and Quit")}});
    if (answer != 1) {
        return false;
    }
    if (m_model) {
        m_model->cancelExport();
    }
    return true;
}

} // namespace lumafold
