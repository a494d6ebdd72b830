// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/Qpdf.h"

#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

// Five cards of widths 100, 110, 120 (a.pdf) and 300, 310 (b.pdf), to be exported into `out`.
class ExportTest : public ModelTest
{
protected:
    void SetUp() override
    {
        writeWidthsPdf(dir / "a.pdf", 3, 100);
        writeWidthsPdf(dir / "b.pdf", 2, 300);
        sourceBytes = {readFile(dir / "a.pdf"), readFile(dir / "b.pdf")};
        addAndWait(fileUrls({dir / "a.pdf", dir / "b.pdf"}));
        model().setOutputFolder(fileUrl(out.path()));
    }
    void TearDown() override
    {
        EXPECT_EQ(readFile(dir / "a.pdf"), sourceBytes[0]) << "sources are only read";
        EXPECT_EQ(readFile(dir / "b.pdf"), sourceBytes[1]);
        ModelTest::TearDown();
    }
    void exportAndWait()
    {
        model().exportPages();
        waitForExport();
    }

    std::vector<std::vector<unsigned char>> sourceBytes;
    TempDir out;
};

TEST_F(ExportTest, ValidationMessagesComeInOrder)
{
    const QString noName = "Enter an output filename.";
    const QString slash = "The filename cannot contain a slash or colon.";
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
        {"Report", PagesExportMode::selected, false, 1, "Select at least one page to extract."},
        {"Report", PagesExportMode::selected, true, 0, std::nullopt},
        {"Report", PagesExportMode::split, false, 0, "Choose at least one page per PDF."},
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
    model().setExportMode(PagesExportMode::combined);
    model().removeAll();
    EXPECT_FALSE(model().validationMessage());
    EXPECT_FALSE(model().canExport()) << "no pages";
}

TEST_F(ExportTest, EveryModeWritesTheCardsInWorkspaceOrderAndNeverOverwrites)
{
    model().movePage(id(4), id(0)); // 310, 100, 110, 120, 300
    model().setOutputName("  Report \n");
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(), fileUrls({out / "Report.pdf"}));
    EXPECT_EQ(pageWidths(out / "Report.pdf"), (std::vector<double>{310, 100, 110, 120, 300}));
    EXPECT_TRUE(qpdf::checkPasses(out / "Report.pdf"));

    model().setExportMode(PagesExportMode::selected);
    select({3, 0, 2});
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(), fileUrls({out / "Report 2.pdf"}));
    EXPECT_EQ(pageWidths(out / "Report 2.pdf"), (std::vector<double>{310, 110, 120}));

    const std::vector<unsigned char> first = readFile(out / "Report.pdf");
    model().setExportMode(PagesExportMode::combined);
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(), fileUrls({out / "Report 3.pdf"}));
    EXPECT_EQ(readFile(out / "Report.pdf"), first);
    EXPECT_EQ(pageWidths(out / "Report 2.pdf").size(), 3u);

    model().setExportMode(PagesExportMode::split);
    model().setSplitChunkSize(2);
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(),
              fileUrls({out / "Report-01.pdf", out / "Report-02.pdf", out / "Report-03.pdf"}));
    EXPECT_EQ(pageWidths(out / "Report-01.pdf"), (std::vector<double>{310, 100}));
    EXPECT_EQ(pageWidths(out / "Report-03.pdf"), (std::vector<double>{300}));
    EXPECT_EQ(out.entries().size(), 6u) << "no temporary file is left";
    EXPECT_FALSE(model().errorMessage());

    model().revealOutput();
    EXPECT_EQ(dialogs.revealed, std::vector<QList<QUrl>>{model().lastOutputURLs()});
}

TEST(UniqueDestinationTest, AppendsTheExtensionAndCountsFromTwo)
{
    TempDir folder;
    fs::create_directory(folder / "Folder.pdf");
    fs::create_symlink(folder / "gone", folder / "Link.pdf");
    writeFile(folder / "Full.pdf", "x");
    writeFile(folder / "Full 2.pdf", "x");
    const std::pair<QString, std::string> cases[] = {
        {"Report", "Report.pdf"}, {"scan.final", "scan.final.pdf"}, {"Folder", "Folder 2.pdf"},
        {"Link", "Link 2.pdf"},   {"Full", "Full 3.pdf"},           {"Été", "Été.pdf"},
    };
    for (const auto& [base, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(AppModel::uniqueDestination(fileUrl(folder.path()), base), fileUrl(folder / expected));
    }
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
        EXPECT_EQ(exporting.count(), 0);
    }
    EXPECT_FALSE(fs::exists(dir / "deleted"));
    ::chmod((dir / "read-only").c_str(), 0755);
}

TEST_F(ExportTest, WithoutAFolderTheChooserIsAskedAndAFailureLeavesNoOutputs)
{
    model().setOutputFolder(std::nullopt);
    model().exportPages(); // the user cancels
    ASSERT_EQ(dialogs.folderQuestions.size(), 1u);
    EXPECT_TRUE(dialogs.folderQuestions[0].canCreateFolders);
    EXPECT_FALSE(model().isExporting() || model().outputFolder() || model().errorMessage());
    dialogs.folderAnswer = fileUrl(out.path());
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(), fileUrls({out / "a-pages.pdf"}));
    EXPECT_FALSE(model().chooseOutputFolder());
    EXPECT_EQ(dialogs.folderQuestions.back().startFolder, fileUrl(out.path()));
    EXPECT_EQ(model().outputFolder(), fileUrl(out.path()));

    fs::rename(dir / "b.pdf", dir / "b.moved");
    exportAndWait();
    fs::rename(dir / "b.moved", dir / "b.pdf");
    EXPECT_EQ(model().errorMessage(),
              QString::fromStdString(LumafoldError::cannotRead(dir / "b.pdf").errorDescription()));
    EXPECT_TRUE(model().lastOutputURLs().isEmpty());
    EXPECT_EQ(out.entries(), std::vector<std::string>{"a-pages.pdf"});
    model().revealOutput();
    EXPECT_TRUE(dialogs.revealed.empty());
}

TEST_F(ExportTest, CancellingEndsSilentlyAndLeavesNoFile)
{
    waitForPreview(); // so that the assembly held is the export's
    holdAssembly([this] { model().exportPages(); });
    EXPECT_FALSE(model().canExport());
    model().cancelExport();
    waitForExport();
    assembler.setHeld(false);
    EXPECT_TRUE(out.entries().empty());
    EXPECT_EQ(model().progress(), 1);

    // A split is cancelled once it has written files; they are removed again.
    for (int i = 0; i < 7; ++i) {
        model().selectAll();
        model().duplicateSelected();
    }
    ASSERT_EQ(model().pages().size(), 640);
    model().setExportMode(PagesExportMode::split);
    model().exportPages();
    // Single files take about a millisecond each: watch without pausing for the first one.
    while (model().isExporting() && out.entries().empty()) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(model().isExporting()) << "the split ended before it could be cancelled";
    model().cancelExport();
    waitForExport();
    EXPECT_TRUE(out.entries().empty());
    EXPECT_TRUE(model().lastOutputURLs().isEmpty());
    EXPECT_FALSE(model().errorMessage());
}

TEST_F(ExportTest, ResetRestoresTheSettingsAndNamesTheFirstSource)
{
    model().setExportMode(PagesExportMode::split);
    model().setSplitChunkSize(7);
    model().setRemoveMetadata(true);
    model().setOutputName("Mine");
    model().resetToDefaults();
    EXPECT_EQ(model().exportMode(), PagesExportMode::combined);
    EXPECT_EQ(model().splitChunkSize(), 1);
    EXPECT_FALSE(model().removeMetadata());
    EXPECT_EQ(model().outputName(), "a-pages");
    EXPECT_EQ(model().outputFolder(), fileUrl(out.path()));

    model().setSelection({});
    model().insertBlankPage();
    model().movePage(model().pages().last().id, id(0));
    model().resetToDefaults();
    EXPECT_EQ(model().outputName(), "Combined-pages") << "the first card is blank";
    model().removeAll();
    model().setOutputName("Mine");
    model().resetToDefaults();
    EXPECT_EQ(model().outputName(), "Combined-pages");
}

} // namespace
} // namespace lumafold::test
