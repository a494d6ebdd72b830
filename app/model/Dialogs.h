// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace lumafold {

// Everything modal or outside the process that the model asks of the desktop. The window passes
// the real one; tests pass a scripted one. Called on the main thread only.
class Dialogs
{
public:
    struct FileChoice
    {
        QString message;
        QString prompt; // the confirm button
        bool allowFolders = false;
        bool allowMultiple = false;
        QStringList fileExtensions; // lower case without the dot; empty = any file
    };

    struct FolderChoice
    {
        QString title;
        QString prompt;
        bool canCreateFolders = false;
        std::optional<QUrl> startFolder;
    };

    struct Alert
    {
        enum class Style
        {
            informational,
            warning,
            critical,
        };
        Style style = Style::informational;
        QString text;
        QString informativeText;
        QStringList buttons; // left to right; the first is the default
    };

    virtual ~Dialogs() = default;

    // The chosen locations in the chooser's order; empty when the user cancels.
    virtual QList<QUrl> chooseFiles(const FileChoice& choice) = 0;
    // Nothing when the user cancels.
    virtual std::optional<QUrl> chooseFolder(const FolderChoice& choice) = 0;
    // The index in `buttons` of the one pressed, or -1 when the alert was closed otherwise.
    virtual int alert(const Alert& alert) = 0;
    // Shows the files selected in the file manager.
    virtual void revealInFileManager(const QList<QUrl>& files) = 0;
    virtual void openUrl(const QUrl& url) = 0;
};

} // namespace lumafold
