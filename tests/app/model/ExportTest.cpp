// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"
#include "support/Qpdf.h"

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

// Cards of widths 100, 110, 120 (cards.pdf) and 300, 310 (b.pdf), to be exported into `out`.
class ExportTest : public ModelTest
{
protected:
    void SetUp() override
    {
        add(urls({writeWidthsPdf(dir / "cards.pdf", {100, 110, 120}), writeWidthsPdf(dir / "b.pdf", {300, 310})}));
        sources = {readFile(dir / "cards.pdf"), readFile(dir / "b.pdf")};
        model().setOutputFolder(FileLocations::toUrl(out.path()));
    }
    void TearDown() override
    {
        EXPECT_EQ(sources, (std::vector{readFile(dir / "cards.pdf"), readFile(dir / "b.pdf")})) << "only read";
        ModelTest::TearDown();
    }
    void exportAndWait()
    {
        model().exportPages();
        waitWhile(&AppModel::isExporting);
    }

    std::vector<std::vector<unsigned char>> sources;
    TempDir out;
};

TEST_F(ExportTest, ValidationMessagesComeInOrder)
{
    const QString slash = "The filename cannot contain a slash or colon.";
    // {name, mode, a card selected, pages per file, message}
    const std::tuple<QString, PagesExportMode, bool, qint64, std::optional<QString>> cases[] = {
        {" \n\t ", PagesExportMode::selected, false, 1, "Enter an output filename."},
        {"a/b", PagesExportMode::combined, true, 1, slash},
        {"a:b", PagesExportMode::split, true, 0, slash},
        {"Report", PagesExportMode::selected, false, 1, "Select at least one page to extract."},
        {"Report", PagesExportMode::split, false, 0, "Choose at least one page per PDF."},
        {" Report ", PagesExportMode::combined, false, 0, std::nullopt},
    };
    for (const auto& [name, mode, selected, chunk, message] : cases) {
        SCOPED_TRACE(name.toStdString() + " / " + rawValue(mode).toStdString());
        model().setOutputName(name);
        model().setExportMode(mode);
        model().setSelection(selected ? QSet<QUuid>{id(0)} : QSet<QUuid>{});
        model().setSplitChunkSize(chunk);
        EXPECT_EQ(model().validationMessage(), message);
        EXPECT_EQ(model().canExport(), !message.has_value());
    }
    model().removeAll();
    EXPECT_FALSE(model().canExport()) << "no pages";
}

TEST_F(ExportTest, EveryModeWritesTheCardsInWorkspaceOrderAndNeverOverwrites)
{
    model().movePage(id(4), id(0)); // 310, 100, 110, 120, 300
    model().setOutputName("  Report \n");
    select({3, 0, 2});
    // {mode, files written, the widths of each}
    const std::tuple<PagesExportMode, std::vector<std::string>, std::vector<std::vector<double>>> exports[] = {
        {PagesExportMode::combined, {"Report.pdf"}, {{310, 100, 110, 120, 300}}},
        {PagesExportMode::selected, {"Report 2.pdf"}, {{310, 110, 120}}},
        {PagesExportMode::split, {"Report-01.pdf", "Report-02.pdf", "Report-03.pdf"}, {{310, 100}, {110, 120}, {300}}},
    };
    model().setSplitChunkSize(2);
    for (const auto& [mode, files, widths] : exports) {
        SCOPED_TRACE(files[0]);
        model().setExportMode(mode);
        exportAndWait();
        ASSERT_EQ(model().lastOutputURLs().size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(model().lastOutputURLs()[i], FileLocations::toUrl(out / files[i]));
            EXPECT_EQ(pageWidths(out / files[i]), widths[i]);
        }
    }
    EXPECT_TRUE(qpdf::checkPasses(out / "Report.pdf"));
    EXPECT_EQ(out.entries().size(), 5u) << "no temporary file is left";
}

// The user cancels the first question.
TEST_F(ExportTest, WithoutAFolderTheChooserIsAskedAndOneThatCannotTakeTheFileStopsBeforeAnyWork)
{
    model().setOutputFolder(std::nullopt);
    model().exportPages();
    ASSERT_EQ(dialogs.folderQuestions.size(), 1u);
    EXPECT_FALSE(model().isExporting() || model().outputFolder() || model().errorMessage());
    dialogs.folderAnswer = FileLocations::toUrl(out.path());
    exportAndWait();
    EXPECT_EQ(model().lastOutputURLs(), urls({out / "cards-pages.pdf"}));
    EXPECT_EQ(model().outputFolder(), FileLocations::toUrl(out.path()));

    writeFile(dir / "plain-file", "x");
    model().setOutputFolder(FileLocations::toUrl(dir / "plain-file"));
    model().exportPages();
    EXPECT_EQ(model().errorMessage(), "The selected destination is not writable.");
    EXPECT_FALSE(model().isExporting());
}

TEST_F(ExportTest, AFailureIsReportedAndLeavesNoOutputs)
{
    exportAndWait();
    fs::rename(dir / "b.pdf", dir / "b.moved");
    exportAndWait();
    fs::rename(dir / "b.moved", dir / "b.pdf");
    EXPECT_TRUE(model().errorMessage());
    EXPECT_TRUE(model().lastOutputURLs().isEmpty());
    EXPECT_EQ(out.entries(), std::vector<std::string>{"cards-pages.pdf"});
}

// Single files of a split take about a millisecond each: it is watched without pausing.
TEST_F(ExportTest, CancellingEndsSilentlyAndLeavesNoFileEvenOfASplit)
{
    waitWhile(&AppModel::isRenderingPreview); // so that the assembly held is the export's
    holdAssembly([this] { model().exportPages(); });
    model().cancelExport();
    waitWhile(&AppModel::isExporting);
    EXPECT_EQ(model().progress(), 1);
    held = false;
    for (int i = 0; i < 7; ++i) {
        model().selectAll();
        model().duplicateSelected();
    }
    ASSERT_EQ(model().pages().size(), 640);
    model().setExportMode(PagesExportMode::split);
    model().exportPages();
    while (model().isExporting() && out.entries().empty()) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(model().isExporting()) << "the split ended before it could be cancelled";
    model().cancelExport();
    waitWhile(&AppModel::isExporting);
    EXPECT_TRUE(out.entries().empty());
    EXPECT_TRUE(model().lastOutputURLs().isEmpty() && !model().errorMessage());
}

TEST_F(ExportTest, ResetRestoresTheSettingsAndNamesTheFirstSource)
{
    model().setExportMode(PagesExportMode::split);
    model().setSplitChunkSize(7);
    model().setRemoveMetadata(true);
    model().setOutputName("Mine");
    model().resetToDefaults();
    EXPECT_EQ(std::tuple(model().exportMode(), model().splitChunkSize(), model().removeMetadata()),
              std::tuple(PagesExportMode::combined, qint64{1}, false));
    EXPECT_EQ(model().outputName(), "cards-pages");

    model().setSelection({});
    model().insertBlankPage();
    model().movePage(model().pages().last().id, id(0));
    model().resetToDefaults();
    EXPECT_EQ(model().outputName(), "Combined-pages") << "the first card is blank";
}

} // namespace
} // namespace lumafold::test
