// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"
#include "support/Qpdf.h"
#include "support/ScopedEnvironment.h"

#include <QDir>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

using AddingTest = ModelTest;
using ModelStateTest = ModelTest;

// What a folder gives is the file walk's business (FileLocationsTest); here, that it is used. Later
// adds append, keeping the output's name and the selection.
TEST_F(AddingTest, ChosenFilesAndFoldersArriveInOrderWithNamesPicturesAndOneUndoStepAndLaterOnesAppend)
{
    std::filesystem::create_directories(dir / "Scans");
    writeWidthsPdf(dir / "Scans" / "a.pdf", {100, 110});
    // A trailing slash takes no part in the name; a file chosen twice counts once.
    dialogs.fileAnswer = urls({dir / "Scans" / "", writeWidthsPdf(dir / "b.pdf", {300}), dir / "." / "b.pdf"});
    model().choosePDFs();
    waitWhile(&AppModel::isLoading);
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 110, 300}));
    const std::pair<QString, qint64> sources[] = {{"a.pdf", 1}, {"a.pdf", 2}, {"b.pdf", 1}};
    for (int i = 0; i < 3; ++i) {
        const PageItem& card = model().pages()[i];
        EXPECT_EQ(std::pair(card.sourceName, card.sourcePage.value_or(0)), sources[i]) << i;
    }
    EXPECT_EQ(pictureSize(2).height(), 360);
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
    EXPECT_EQ(model().outputName(), "Scans-pages");
    EXPECT_EQ(model().undoStack().size(), 1);

    select({1});
    add(urls({dir / "b.pdf"}));
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 110, 300, 300}));
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(1)});
    EXPECT_EQ(model().outputName(), "Scans-pages") << "only the initial name is replaced";
    EXPECT_NE(id(3), id(2)) << "a page added twice makes two cards";
}

// Nothing readable gives one message and changes nothing; beside a readable file, the rest is
// skipped silently.
TEST_F(AddingTest, UnreadableFilesAreSkippedAndOnlyNothingReadableIsReported)
{
    fs::create_directories(dir / "no-pdfs");
    writeFile(dir / "scan.final.pdf", "plain text, no PDF");
    qpdf::encrypt(writeWidthsPdf(dir / "good.pdf", {100}), dir / "locked.pdf", "user", "owner");
    ASSERT_EQ(::mkfifo((dir / "pipe.pdf").c_str(), 0644), 0) << "reading it would block";
    add(urls({dir / "no-pdfs", dir / "locked.pdf", dir / "missing.pdf"}));
    EXPECT_EQ(model().errorMessage(), "The selected files could not be read as unlocked PDFs.");
    EXPECT_TRUE(model().pages().isEmpty() && model().undoStack().isEmpty() && model().selection().isEmpty());
    EXPECT_EQ(model().outputName(), "Combined-pages");

    model().setErrorMessage(std::nullopt);
    add(urls({dir / "scan.final.pdf", dir / "pipe.pdf", dir / "locked.pdf", dir / "good.pdf"}));
    EXPECT_EQ(cardWidths(), std::vector<double>{100});
    EXPECT_FALSE(model().errorMessage());
    EXPECT_EQ(model().outputName(), "scan.final-pages") << "the first location names the output, read or not";
}

TEST_F(ModelStateTest, OutputFolderComesFromTheEnvironmentEvenWhenMissing)
{
    const std::pair<std::string, QString> cases[] = {{"/nowhere/at/all/", "/nowhere/at/all"},
                                                     {"", QDir::currentPath()}};
    for (const auto& [value, folder] : cases) {
        SCOPED_TRACE(value);
        const ScopedEnvironmentVariable variable("MARLO_UI_TEST_OUTPUT_DIR", value);
        EXPECT_EQ(AppModel(dialogs).outputFolder(), QUrl::fromLocalFile(folder));
    }
}

// Under ASan, a startup add or a load delivered to the freed first model fails the run.
TEST_F(ModelStateTest, StartupInputsAreAddedInOrderOnceTheEventLoopRunsAndNotAfterTheModelIsGone)
{
    const std::string a = writeWidthsPdf(dir / "a.pdf", {100}), b = writeWidthsPdf(dir / "b.pdf", {300});
    const std::string big = writeWidthsPdf(dir / "big.pdf", std::vector<double>(40, 100));
    {
        const ScopedEnvironmentVariable variable("MARLO_UI_TEST_INPUTS", big);
        AppModel(dialogs).add(urls({big}));
    }
    const ScopedEnvironmentVariable variable("MARLO_UI_TEST_INPUTS", "\n" + a + "\n\n" + b + "\n");
    EXPECT_FALSE(model().isLoading()) << "the constructor must not start the load itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return model().pages().size() == 2; }, 60'000));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 300}));
}

} // namespace
} // namespace lumafold::test
