// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldEngine.h"
#include "model/AppModel.h"
#include "model/FileLocations.h"
#include "support/PageWidths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QSettings>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <mutex>
#include <thread>

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

// The engine's assemble, recording each call as it starts. While `held`, a call
// then waits until it is released or asked to stop.
class RecordingAssembler
{
public:
    struct Call
    {
        std::vector<PageDescriptor> pages;
        bool removeMetadata = false;
        std::chrono::steady_clock::time_point start;
    };

    AppModel::Assembler function()
    {
        return [this](const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop) {
            {
                std::lock_guard lock(m_mutex);
                m_calls.push_back({pages, removeMetadata, std::chrono::steady_clock::now()});
            }
            while (held && !stop.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return LumafoldEngine::assemble(pages, removeMetadata, std::move(stop));
        };
    }
    std::vector<Call> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    std::atomic<bool> held = false;

private:
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// gtest_main owns main(), so the application lives in a global environment.
struct QtApplication : ::testing::Environment
{
    void SetUp() override
    {
        ::setenv("DISABLE_AUTO_UPDATE", "1", 1); // models ask the maker's server only where a test says so
        app.emplace(argc, argv);
        // The user's own settings are never read or written.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settings.path()));
    }
    void TearDown() override
    {
        QThreadPool::globalInstance()->waitForDone();
        app.reset();
    }
    int argc = 1;
    char* argv[2] = {const_cast<char*>("model_tests"), nullptr};
    std::optional<QCoreApplication> app;
    TempDir settings;
};
inline auto* const application = ::testing::AddGlobalTestEnvironment(new QtApplication);

inline QList<QUrl> urls(std::initializer_list<std::filesystem::path> paths)
{
    QList<QUrl> result;
    for (const auto& path : paths) {
        result.append(FileLocations::toUrl(path));
    }
    return result;
}

inline QSize pictureSize(const QByteArray& jpeg)
{
    return QImage::fromData(jpeg, "JPEG").size();
}

// Each test's model runs with its assembler; background work ends before the
// next test.
class ModelTest : public ::testing::Test
{
protected:
    AppModel& model()
    {
        if (!m_model) {
            m_model = std::make_unique<AppModel>(dialogs, assembler.function());
        }
        return *m_model;
    }
    // Adds and waits until the load has been applied.
    void add(const QList<QUrl>& locations)
    {
        model().add(locations);
        waitWhile(&AppModel::isLoading);
    }
    // Adds cards.pdf, whose pages have these widths.
    void addCards(const std::vector<double>& widths)
    {
        add(urls({writeWidthsPdf(dir / "cards.pdf", widths)}));
        ASSERT_EQ(cardWidths(), widths);
    }
    void waitWhile(bool (AppModel::*busy)() const)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !(model().*busy)(); }, 120'000));
    }
    // Holds the assembler, and returns once the assembly that `start` asks for
    // waits at its start.
    void holdAssembly(const std::function<void()>& start)
    {
        const auto started = assembler.calls().size() + 1;
        assembler.held = true;
        start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return assembler.calls().size() == started; }, 10'000));
    }
    QUuid id(int position) { return model().pages().at(position).id; }
    QSize pictureSize(int position) { return test::pictureSize(model().pages().at(position).thumbnailData); }
    void select(std::initializer_list<int> positions)
    {
        QSet<QUuid> chosen;
        for (const int position : positions) {
            chosen.insert(id(position));
        }
        model().setSelection(chosen);
    }
    // The widths of the cards' pages, read from their files: the order of the
    // cards.
    std::vector<double> cardWidths()
    {
        std::vector<double> widths;
        for (const PageItem& card : model().pages()) {
            const PageContent& content = card.descriptor.content;
            widths.push_back(content.isBlank() ? content.blankSize().width
                                               : pageWidths(content.sourcePage().path).at(content.sourcePage().index));
        }
        return widths;
    }
    void TearDown() override
    {
        assembler.held = false;
        m_model.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    RecordingAssembler assembler;
    std::unique_ptr<AppModel> m_model;
};

} // namespace lumafold::test
