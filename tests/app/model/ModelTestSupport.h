// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldEngine.h"
#include "model/AppModel.h"
#include "model/FileLocations.h"
#include "support/PageWidths.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "support/TestApplication.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace lumafold::test {

inline auto* const application = ::testing::AddGlobalTestEnvironment(new TestApplication<QCoreApplication>);

inline QList<QUrl> urls(std::initializer_list<std::filesystem::path> paths)
{
    QList<QUrl> result;
    std::ranges::transform(paths, std::back_inserter(result), &FileLocations::toUrl);
    return result;
}

inline QSize pictureSize(const QByteArray& jpeg)
{
    return QImage::fromData(jpeg, "JPEG").size();
}

// Each test's model runs with the engine's assemble, which records each call as it starts and,
// while `held`, then waits until it is released or asked to stop. Background work ends before the
// next test.
class ModelTest : public ::testing::Test
{
protected:
    struct Call
    {
        std::vector<PageDescriptor> pages;
        bool removeMetadata = false;
        std::chrono::steady_clock::time_point start;
    };

    AppModel::Assembler recordingAssembler()
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
    std::vector<Call> calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    AppModel& model()
    {
        if (!m_model) {
            m_model = std::make_unique<AppModel>(dialogs, recordingAssembler());
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
    void addCards(const std::vector<double>& widths) { add(urls({writeWidthsPdf(dir / "cards.pdf", widths)})); }
    void waitWhile(bool (AppModel::*busy)() const)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !(model().*busy)(); }, 120'000));
    }
    // Holds the assembler, and returns once the assembly that `start` asks for
    // waits at its start.
    void holdAssembly(const std::function<void()>& start)
    {
        const auto started = calls().size() + 1;
        held = true;
        start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return calls().size() == started; }, 10'000));
    }
    QUuid id(int position) { return model().pages().at(position).id; }
    QSize pictureSize(int position) { return test::pictureSize(model().pages().at(position).thumbnailData); }
    void select(std::initializer_list<int> positions)
    {
        QSet<QUuid> chosen;
        std::ranges::transform(positions, std::inserter(chosen, chosen.end()), [this](int p) { return id(p); });
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
        held = false;
        m_model.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    std::atomic<bool> held = false;
    std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::unique_ptr<AppModel> m_model;
};

} // namespace lumafold::test
