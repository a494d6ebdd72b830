// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "model/Dialogs.h"

#include <utility>
#include <vector>

namespace lumafold::test {

// Records what the model asks; each answer is given once, and after it the user
// cancels.
class ScriptedDialogs : public Dialogs
{
public:
    QList<QUrl> fileAnswer;
    std::optional<QUrl> folderAnswer;
    std::vector<FileChoice> fileQuestions;
    std::vector<FolderChoice> folderQuestions;
    std::vector<QList<QUrl>> revealed;
    std::vector<Alert> alerts;
    int alertAnswer = -1; // closed without a button

    QList<QUrl> chooseFiles(const FileChoice& choice) override
    {
        fileQuestions.push_back(choice);
        return std::exchange(fileAnswer, {});
    }
    std::optional<QUrl> chooseFolder(const FolderChoice& choice) override
    {
        folderQuestions.push_back(choice);
        return std::exchange(folderAnswer, std::nullopt);
    }
    int alert(const Alert& alert) override
    {
        alerts.push_back(alert);
        return alertAnswer;
    }
    void revealInFileManager(const QList<QUrl>& files) override { revealed.push_back(files); }
    void openUrl(const QUrl&) override {}
};

} // namespace lumafold::test
