// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/model/ModelTestSupport.h"

#include "core/LumafoldEngine.h"
#include "tests/support/PdfFactory.h"
#include "tests/support/PdfInspector.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace lumafold::test {

namespace {

// gtest_main owns main(), so the application lives in a global environment.
struct QtApplication : ::testing::Environment
{
    void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
    void TearDown() override
    {
        QThreadPool::globalInstance()->waitForDone();
        app.reset();
    }
    int argc = 1;
    char name[21] = "lumafold_model_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
};

[[maybe_unused]] auto* const application = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace

AppModel::Assembler RecordingAssembler::function()
{
    return [this](const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop) {
        {
            std::unique_lock lock(m_mutex);
            m_calls.push_back({pages, removeMetadata, std::chrono::steady_clock::now()});
            m_released.wait(lock, stop, [this] { return !m_held; });
        }
        return LumafoldEngine::assemble(pages, removeMetadata, std::move(stop));
    };
}

std::vector<RecordingAssembler::Call> RecordingAssembler::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void RecordingAssembler::setHeld(bool held)
{
    {
        std::lock_guard lock(m_mutex);
        m_held = held;
    }
    m_released.notify_all();
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
    PdfLayout layout;
    for (int i = 0; i < count; ++i) {
        layout.pages.push_back({.width = firstWidth + 10 * i, .height = 500, .label = std::to_string(i + 1)});
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

std::vector<double> cardWidths(const AppModel& model)
{
    std::vector<double> widths;
    for (const PageItem& card : model.pages()) {
        const PageContent& content = card.descriptor.content;
        widths.push_back(content.isBlank() ? content.blankSize().width
                                           : pageWidths(content.sourcePage().url).at(content.sourcePage().index));
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
    waitWhile(&AppModel::isLoading);
}

void ModelTest::waitWhile(bool (AppModel::*busy)() const)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(model().*busy)(); }, 120'000));
}

void ModelTest::holdAssembly(const std::function<void()>& start)
{
    const auto started = assembler.calls().size() + 1;
    assembler.setHeld(true);
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return assembler.calls().size() == started; }, 10'000));
}

void ModelTest::select(std::initializer_list<int> positions)
{
    QSet<QUuid> chosen;
    for (const int position : positions) {
        chosen.insert(id(position));
    }
    model().setSelection(chosen);
}

void ModelTest::TearDown()
{
    assembler.setHeld(false);
    m_model.reset();
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace lumafold::test
