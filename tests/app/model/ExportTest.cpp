// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/Qpdf.h"

#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

class ExportTest : public ModelTest
{
protected:
    void SetUp() override
    {
        fs::create_directories(out());
        writeWidthsPdf(dir / "a.pdf", 3, 100);
        writeWidthsPdf(dir / "b.pdf", 2, 300);
        sourceBytes = {readFile(dir / "a.pdf"), readFile(dir / "b.pdf")};
        addAndWait(fileUrls({dir / "a.pdf", dir / "b.pdf"}));
        model().setOutputFolder(fileUrl(out()));
    }
    void TearDown() override
    {
        EXPECT_EQ(readFile(dir / "a.pdf"), sourceBytes[0]) << "sources are only read";
        EXPECT_EQ(readFile(dir / "b.pdf"), sourceBytes[1]);
        ModelTest::TearDown();
    }
    fs::path out() const { return dir / "out"; }
    void exportAndWait()
    {
        model().exportPages();
        waitForExport();
    }
    QUuid id(int position) { return model().pages().at(position).id; }
    std::vector<std::string> listOut() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::vector<unsigned char>> sourceBytes;
};

TEST_F(ExportTest, ValidationMessagesComeInOrder)
{
    const QString noName = "Enter an output filename.";
    const QString slash = "The filename cannot contain a slash or colon.";
    const QString noSelection = "Select at least one page to extract.";
    const QString noChunk = "Choose at least one page per PDF.";
    const struct
    {
        QString name;
        PagesExportMode mode;
        bool selected;
        qint64 chunk;
        std::optional<QString> message;
    } cases[] = {
        {" \n\t ", PagesExportMode::combined, true, 1, noName},
        {"", PagesExportMode::selected, false, 1, noName},
        {"a/b", PagesExportMode::combined, true, 1, slash},
        {"a:b", PagesExportMode::split, true, 0, slash},
        {"Report", PagesExportMode::selected, false, 1, noSelection},
        {"Report", PagesExportMode::selected, true, 0, std::nullopt},
        {"Report", PagesExportMode::split, false, 0, noChunk},
        {"Report", PagesExportMode::split, false, -2, noChunk},
        {" Report ", PagesExportMode::combined, false, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " / " + rawValue(c.mode).toStdString());
        model().setOutputName(c.name);
        model().setExportMode(c.mode);
        model().setSelection(c.selected ? QSet<QUuid>{id(0)} : QSet<QUuid>{});
        model().setSplitChunkSize(c.chunk);
        EXPECT_EQ(model().validationMessage(), c.message);
        EXPECT_EQ(model().canExport(), !c.message.has_value());
    }
    model().selectAll();
    model().removeSelected();
    ASSERT_TRUE(model().pages().isEmpty());
    model().setExportMode(PagesExportMode::combined);
    EXPECT_FALSE(model().validationMessage());
    EXPECT_FALSE(model().canExport()) << "no pages";
}

TEST_F(ExportTest, OnePdfHoldsEveryCardInWorkspaceOrder)
{
    model().movePage(id(4), id(0));
    model().setOutputName("  Report \n");
    exportAndWait();
    ASSERT_EQ(model().lastOutputURLs(), fileUrls({out() / "Report.pdf"}));
    EXPECT_EQ(pageWidths(out() / "Report.pdf"), (std::vector<double>{310, 100, 110, 120, 300}));
    EXPECT_TRUE(qpdf::checkPasses(out() / "Report.pdf"));
    EXPECT_FALSE(model().isExporting());
    EXPECT_EQ(model().progress(), 1);
    EXPECT_FALSE(model().errorMessage());
    EXPECT_EQ(listOut(), std::vector<std::string>{"Report.pdf"}) << "no temporary file is left";

    model().revealOutput();
    ASSERT_EQ(dialogs.revealed.size(), 1u);
    EXPECT_EQ(dialogs.revealed[0], model().lastOutputURLs());
}

TEST_F(ExportTest, SelectedPagesGoOutInWorkspaceOrder)
{
    model().setExportMode(PagesExportMode::selected);
    model().setOutputName("Picked");
    model().setSelection({id(4), id(0), id(2)});
    exportAndWait();
    EXPECT_EQ(pageWidths(out() / "Picked.pdf"), (std::vector<double>{100, 120, 310}));
}

TEST_F(ExportTest, SplitWritesNumberedFiles)
{
    model().setExportMode(PagesExportMode::split);
    model().setSplitChunkSize(2);
    model().setOutputName("Part");
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(),
              fileUrls({out() / "Part-01.pdf", out() / "Part-02.pdf", out() / "Part-03.pdf"}));
    EXPECT_EQ(pageWidths(out() / "Part-01.pdf"), (std::vector<double>{100, 110}));
    EXPECT_EQ(pageWidths(out() / "Part-03.pdf"), (std::vector<double>{310}));
}

TEST_F(ExportTest, TakenNamesAreNeverOverwritten)
{
    writeFile(out() / "Report.pdf", "first");
    writeFile(out() / "Report 2.pdf", "second");
    model().setOutputName("Report");
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(), fileUrls({out() / "Report 3.pdf"}));
    EXPECT_EQ(readFile(out() / "Report.pdf"), std::vector<unsigned char>({'f', 'i', 'r', 's', 't'}));
    EXPECT_EQ(readFile(out() / "Report 2.pdf").size(), 6u);
    EXPECT_EQ(qpdf::pageCount(out() / "Report 3.pdf"), 5);
}

TEST(UniqueDestinationTest, AppendsTheExtensionAndCountsFromTwo)
{
    TempDir folder;
    fs::create_directory(folder / "Folder.pdf");
    fs::create_symlink(folder / "gone", folder / "Link.pdf");
    writeFile(folder / "Full.pdf", "x");
    writeFile(folder / "Full 2.pdf", "x");
    const struct
    {
        QString base;
        std::string expected;
    } cases[] = {
        {"Report", "Report.pdf"}, {"scan.final", "scan.final.pdf"}, {"Folder", "Folder 2.pdf"},
        {"Link", "Link 2.pdf"},   {"Full", "Full 3.pdf"},           {"Été", "Été.pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(AppModel::uniqueDestination(fileUrl(folder.path()), c.base), fileUrl(folder / c.expected));
    }
}

TEST_F(ExportTest, WithoutAFolderTheChooserIsAskedFirst)
{
    model().setOutputFolder(std::nullopt);
    model().exportPages(); // the user cancels
    ASSERT_EQ(dialogs.folderQuestions.size(), 1u);
    const Dialogs::FolderChoice& asked = dialogs.folderQuestions[0];
    EXPECT_EQ(asked.title, "Choose Output Folder");
    EXPECT_EQ(asked.prompt, "Choose");
    EXPECT_TRUE(asked.canCreateFolders);
    EXPECT_FALSE(model().isExporting() || model().outputFolder() || model().errorMessage());

    dialogs.folderAnswers.push_back(fileUrl(out()));
    exportAndWait();
    EXPECT_EQ(model().outputFolder(), fileUrl(out()));
    EXPECT_EQ(model().lastOutputURLs(), fileUrls({out() / "a-pages.pdf"}));

    EXPECT_FALSE(model().chooseOutputFolder());
    EXPECT_EQ(dialogs.folderQuestions.back().startFolder, fileUrl(out()));
    EXPECT_EQ(model().outputFolder(), fileUrl(out()));
}

TEST_F(ExportTest, AFolderThatCannotTakeTheFileStopsBeforeAnyWork)
{
    writeFile(dir / "plain-file", "x");
    fs::create_directories(dir / "read-only");
    ::chmod((dir / "read-only").c_str(), 0555);
    std::vector<fs::path> folders = {dir / "deleted", dir / "plain-file"};
    if (::geteuid() != 0) { // permissions do not stop root
        folders.push_back(dir / "read-only");
    }
    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.string());
        model().setErrorMessage(std::nullopt);
        model().setOutputFolder(fileUrl(folder));
        QSignalSpy exporting(&model(), &AppModel::isExportingChanged);
        model().exportPages();
        EXPECT_EQ(model().errorMessage(), "The selected destination is not writable.");
        EXPECT_EQ(model().outputFolder(), fileUrl(folder));
        EXPECT_EQ(exporting.count(), 0);
    }
    EXPECT_FALSE(fs::exists(dir / "deleted"));
    ::chmod((dir / "read-only").c_str(), 0755);
}

TEST_F(ExportTest, AFailedExportReportsTheEngineMessageAndLeavesNoOutputs)
{
    exportAndWait();
    ASSERT_EQ(model().lastOutputURLs().size(), 1);
    fs::rename(dir / "b.pdf", dir / "b.moved");
    exportAndWait();
    fs::rename(dir / "b.moved", dir / "b.pdf");
    EXPECT_EQ(model().errorMessage(),
              QString::fromStdString(LumafoldError::cannotRead(dir / "b.pdf").errorDescription()));
    EXPECT_TRUE(model().lastOutputURLs().isEmpty());
    EXPECT_EQ(model().progress(), 1);
    EXPECT_EQ(listOut(), std::vector<std::string>{"a-pages.pdf"});
    dialogs.revealed.clear();
    model().revealOutput();
    EXPECT_TRUE(dialogs.revealed.empty());
}

TEST_F(ExportTest, CancellingWhileAssemblingEndsSilentlyWithoutAFile)
{
    assembler.hold();
    model().exportPages();
    ASSERT_TRUE(QTest::qWaitFor([this] { return assembler.waiting() == 1; }, 10'000));
    EXPECT_FALSE(model().canExport());
    model().cancelExport();
    waitForExport();
    EXPECT_FALSE(model().errorMessage());
    EXPECT_TRUE(model().lastOutputURLs().isEmpty());
    EXPECT_EQ(model().progress(), 1);
    EXPECT_TRUE(listOut().empty());
}

TEST_F(ExportTest, CancellingASplitRemovesTheFilesItWrote)
{
    for (int i = 0; i < 7; ++i) {
        model().selectAll();
        model().duplicateSelected();
    }
    ASSERT_EQ(model().pages().size(), 640);
    model().setExportMode(PagesExportMode::split);
    model().setOutputName("Part");
    model().exportPages();
    // Single files take about a millisecond each: watch without pausing for the first one.
    while (model().isExporting() && listOut().empty()) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(model().isExporting()) << "the split ended before it could be cancelled";
    model().cancelExport();
    waitForExport();
    EXPECT_TRUE(listOut().empty());
    EXPECT_TRUE(model().lastOutputURLs().isEmpty());
    EXPECT_FALSE(model().errorMessage());
}

TEST_F(ExportTest, ResetRestoresTheSettingsAndNamesTheFirstSource)
{
    fs::copy_file(dir / "a.pdf", dir / "Invoice March.pdf");
    m_model.reset();
    addAndWait(fileUrls({dir / "Invoice March.pdf"}));
    model().setOutputFolder(fileUrl(out()));
    model().setExportMode(PagesExportMode::split);
    model().setSplitChunkSize(7);
    model().setRemoveMetadata(true);
    model().setOutputName("Mine");
    model().resetToDefaults();
    EXPECT_EQ(model().exportMode(), PagesExportMode::combined);
    EXPECT_EQ(model().splitChunkSize(), 1);
    EXPECT_FALSE(model().removeMetadata());
    EXPECT_EQ(model().outputName(), "Invoice March-pages");
    EXPECT_EQ(model().outputFolder(), fileUrl(out()));

    model().setSelection({});
    model().insertBlankPage();
    model().movePage(model().pages().last().id, model().pages().first().id);
    model().resetToDefaults();
    EXPECT_EQ(model().outputName(), "Combined-pages");
    model().removeAll();
    model().setOutputName("Mine");
    model().resetToDefaults();
    EXPECT_EQ(model().outputName(), "Combined-pages");
}

} // namespace
} // namespace lumafold::test
