// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "app/model/AppModel.h"
#include "app/model/Dialogs.h"
#include "app/model/FileLocations.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace lumafold::test {

// Records what the model asks; each answer is given once, and after it the user cancels.
class ScriptedDialogs : public Dialogs
{
public:
    QList<QUrl> fileAnswer;
    std::optional<QUrl> folderAnswer;
    std::vector<FileChoice> fileQuestions;
    std::vector<FolderChoice> folderQuestions;
    std::vector<QList<QUrl>> revealed;

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
    int alert(const Alert&) override { return -1; }
    void revealInFileManager(const QList<QUrl>& files) override { revealed.push_back(files); }
    void openUrl(const QUrl&) override {}
};

// The engine's assemble, recording each call as it starts. While held, a call then waits until it
// is released or asked to stop.
class RecordingAssembler
{
public:
    struct Call
    {
        std::vector<PageDescriptor> pages;
        bool removeMetadata = false;
        std::chrono::steady_clock::time_point start;
    };

    AppModel::Assembler function();
    std::vector<Call> calls() const;
    void setHeld(bool held);

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_released;
    std::vector<Call> m_calls;
    bool m_held = false;
};

inline QUrl fileUrl(const std::filesystem::path& path)
{
    return FileLocations::toUrl(path);
}
QList<QUrl> fileUrls(std::initializer_list<std::filesystem::path> paths);

// `count` pages whose widths (firstWidth, firstWidth + 10, ...) tell them apart in any output.
std::filesystem::path writeWidthsPdf(const std::filesystem::path& path, int count, double firstWidth = 100);
std::vector<double> pageWidths(const std::filesystem::path& pdf);
std::vector<double> cardWidths(const AppModel& model); // from the cards' files, for checking order

// Each test's model runs with its assembler; background work ends before the next test.
class ModelTest : public ::testing::Test
{
protected:
    AppModel& model();
    // Adds and waits until the load has been applied.
    void addAndWait(const QList<QUrl>& locations);
    void waitForPreview() { waitWhile(&AppModel::isRenderingPreview); }
    void waitForExport() { waitWhile(&AppModel::isExporting); }
    void waitWhile(bool (AppModel::*busy)() const);
    // Holds the assembler, and returns once the assembly that `start` asks for waits at its start.
    void holdAssembly(const std::function<void()>& start);
    QUuid id(int position) { return model().pages().at(position).id; }
    void select(std::initializer_list<int> positions);
    void TearDown() override;

    TempDir dir;
    ScriptedDialogs dialogs;
    RecordingAssembler assembler;
    std::unique_ptr<AppModel> m_model;
};

} // namespace lumafold::test
