// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "app/model/AppModel.h"
#include "app/model/Dialogs.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QUrl>

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

namespace lumafold::test {

// Answers the model's dialogs from queues and records what it was asked; an empty queue means
// the user cancelled.
class ScriptedDialogs : public Dialogs
{
public:
    std::deque<QList<QUrl>> fileAnswers;
    std::deque<std::optional<QUrl>> folderAnswers;
    std::vector<FileChoice> fileQuestions;
    std::vector<FolderChoice> folderQuestions;
    std::vector<QList<QUrl>> revealed;

    QList<QUrl> chooseFiles(const FileChoice& choice) override;
    std::optional<QUrl> chooseFolder(const FolderChoice& choice) override;
    int alert(const Alert&) override { return -1; }
    void revealInFileManager(const QList<QUrl>& files) override { revealed.push_back(files); }
    void openUrl(const QUrl&) override {}
};

// The engine's assemble, counted, with what it received. While held, a call waits at its start
// until it is released or asked to stop.
class RecordingAssembler
{
public:
    AppModel::Assembler function() const;
    int calls() const;
    int waiting() const;
    std::vector<std::vector<PageDescriptor>> pageLists() const;
    std::vector<bool> metadataFlags() const;
    std::vector<std::chrono::steady_clock::time_point> startTimes() const;
    void hold();
    void release();

private:
    struct State;
    std::shared_ptr<State> m_state;

public:
    RecordingAssembler();
};

QUrl fileUrl(const std::filesystem::path& path);
QList<QUrl> fileUrls(std::initializer_list<std::filesystem::path> paths);

// `count` pages whose widths (firstWidth, firstWidth + 10, ...) tell them apart in any output.
std::filesystem::path writeWidthsPdf(const std::filesystem::path& path, int count, double firstWidth = 100);
std::vector<double> pageWidths(const std::filesystem::path& pdf);
std::vector<double> pageWidths(const PagesResult& result);
std::vector<double> cardWidths(const AppModel& model); // from the cards' files, for checking order

class ModelTest : public ::testing::Test
{
protected:
    AppModel& model();
    // Adds and waits until the load has been applied.
    void addAndWait(const QList<QUrl>& locations);
    void waitForPreview();
    void waitForExport();
    void TearDown() override;

    TempDir dir;
    ScriptedDialogs dialogs;
    RecordingAssembler assembler;
    std::unique_ptr<AppModel> m_model;
};

} // namespace lumafold::test
