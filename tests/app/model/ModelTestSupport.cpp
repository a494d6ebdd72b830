// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/model/ModelTestSupport.h"

#include "app/model/FileLocations.h"
#include "core/LumafoldEngine.h"
#include "tests/support/PdfFactory.h"
#include "tests/support/PdfInspector.h"

#include <QCoreApplication>
#include <QTest>
#include <QThreadPool>

#include <condition_variable>
#include <map>
#include <mutex>

namespace lumafold::test {

namespace {

// gtest_main owns main(), so the application lives in a global environment.
class QtApplication : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "lumafold_model_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override
    {
        QThreadPool::globalInstance()->waitForDone();
        m_app.reset();
    }

private:
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] auto* const application = ::testing::AddGlobalTestEnvironment(new QtApplication);

constexpr int jobTimeoutMs = 120'000;

} // namespace

QList<QUrl> ScriptedDialogs::chooseFiles(const FileChoice& choice)
{
    fileQuestions.push_back(choice);
    if (fileAnswers.empty()) {
        return {};
    }
    QList<QUrl> answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<QUrl> ScriptedDialogs::chooseFolder(const FolderChoice& choice)
{
    folderQuestions.push_back(choice);
    if (folderAnswers.empty()) {
        return std::nullopt;
    }
    std::optional<QUrl> answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

struct RecordingAssembler::State
{
    mutable std::mutex mutex;
    std::condition_variable_any released;
    std::vector<std::vector<PageDescriptor>> pageLists;
    std::vector<bool> metadataFlags;
    std::vector<std::chrono::steady_clock::time_point> startTimes;
    bool held = false;
    int waiting = 0;
};

RecordingAssembler::RecordingAssembler() : m_state(std::make_shared<State>()) {}

AppModel::Assembler RecordingAssembler::function() const
{
    return [state = m_state](const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop) {
        {
            std::unique_lock lock(state->mutex);
            state->pageLists.push_back(pages);
            state->metadataFlags.push_back(removeMetadata);
            state->startTimes.push_back(std::chrono::steady_clock::now());
            ++state->waiting;
            state->released.wait(lock, stop, [&] { return !state->held; });
            --state->waiting;
        }
        return LumafoldEngine::assemble(pages, removeMetadata, stop);
    };
}

int RecordingAssembler::calls() const
{
    std::lock_guard lock(m_state->mutex);
    return static_cast<int>(m_state->pageLists.size());
}

int RecordingAssembler::waiting() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->waiting;
}

std::vector<std::vector<PageDescriptor>> RecordingAssembler::pageLists() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->pageLists;
}

std::vector<bool> RecordingAssembler::metadataFlags() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->metadataFlags;
}

std::vector<std::chrono::steady_clock::time_point> RecordingAssembler::startTimes() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->startTimes;
}

void RecordingAssembler::hold()
{
    std::lock_guard lock(m_state->mutex);
    m_state->held = true;
}

void RecordingAssembler::release()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->held = false;
    }
    m_state->released.notify_all();
}

QUrl fileUrl(const std::filesystem::path& path)
{
    return FileLocations::toUrl(path);
}

QList<QUrl> fileUrls(std::initializer_list<std::filesystem::path> paths)
{
    QList<QUrl> urls;
    for (const auto& path : paths) {
        urls.append(fileUrl(path));
    }
    return urls;
}

std::filesystem::path writeWidthsPdf(const std::filesystem::path& path, int count, double firstWidth)
{
    PdfSpec layout;
    for (int i = 0; i < count; ++i) {
        layout.pages.push_back(PageSpec{.width = firstWidth + 10 * i, .height = 500, .label = std::to_string(i + 1)});
    }
    return writePdf(path, layout);
}

std::vector<double> pageWidths(const std::filesystem::path& pdf)
{
    const PdfInspector inspector(pdf);
    std::vector<double> widths;
    for (int i = 0; i < inspector.pageCount(); ++i) {
        const auto box = inspector.resolve(inspector.page(i).at("/MediaBox"));
        widths.push_back(inspector.resolve(box.at(2)).get<double>() - inspector.resolve(box.at(0)).get<double>());
    }
    return widths;
}

std::vector<double> pageWidths(const PagesResult& result)
{
    TempDir scratch;
    writeFile(scratch / "result.pdf", std::vector<unsigned char>(result.data.begin(), result.data.end()));
    return pageWidths(scratch / "result.pdf");
}

std::vector<double> cardWidths(const AppModel& model)
{
    std::map<std::filesystem::path, std::vector<double>> files;
    std::vector<double> widths;
    for (const PageItem& card : model.pages()) {
        if (card.descriptor.content.isBlank()) {
            widths.push_back(card.descriptor.content.blankSize().width);
            continue;
        }
        const auto& page = card.descriptor.content.sourcePage();
        auto [file, isNew] = files.try_emplace(page.url);
        if (isNew) {
            file->second = pageWidths(page.url);
        }
        widths.push_back(file->second.at(static_cast<std::size_t>(page.index)));
    }
    return widths;
}

AppModel& ModelTest::model()
{
    if (!m_model) {
        m_model = std::make_unique<AppModel>(dialogs, assembler.function());
    }
    return *m_model;
}

void ModelTest::addAndWait(const QList<QUrl>& locations)
{
    model().add(locations);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model().isLoading(); }, jobTimeoutMs));
}

void ModelTest::waitForPreview()
{
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model().isRenderingPreview(); }, jobTimeoutMs));
}

void ModelTest::waitForExport()
{
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model().isExporting(); }, jobTimeoutMs));
}

void ModelTest::TearDown()
{
    assembler.release();
    m_model.reset();
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace lumafold::test
