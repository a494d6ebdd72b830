// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "model/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace lumafold {

// The desktop behind the model's dialogs: Qt's file dialogs and message boxes, the file manager
// through org.freedesktop.FileManager1, links through the default handler. Main thread only.
class PlatformDialogs : public Dialogs
{
public:
    // Dialogs are modal to `parent` while it exists (none yet at start-up).
    explicit PlatformDialogs(QWidget* parent = nullptr);
    void setParentWidget(QWidget* parent);

    QList<QUrl> chooseFiles(const FileChoice& choice) override;
    std::optional<QUrl> chooseFolder(const FolderChoice& choice) override;
    int alert(const Alert& alert) override;
    void revealInFileManager(const QList<QUrl>& files) override;
    void openUrl(const QUrl& url) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace lumafold
