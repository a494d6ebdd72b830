// SPDX-License-Identifier: AGPL-3.0-or-later
#include "WindowTestSupport.h"

#include "ui/SingleInstance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSplitter>

#include <algorithm>

namespace lumafold::test {

namespace {

using WindowStateTest = WindowTest;

TEST_F(WindowStateTest, CountersMetricsAndTheExportButtonFollowThePagesFromAnEmptyWorkspace)
{
    EXPECT_EQ(text("pageCounter"), QString());
    EXPECT_EQ(text("selectionCounter"), QString());
    EXPECT_FALSE(find<QAbstractButton>("selectAllButton")->isEnabled());
    EXPECT_TRUE(find("organiserEmptyState")->isVisible());
    EXPECT_EQ(text("outputMetric"), "0 pages");
    EXPECT_EQ(text("documentsMetric"), "0 sources");
    model.setExportMode(PagesExportMode::split);
    EXPECT_EQ(text("exportButton"), "Create 0 PDFs");

    addPages("report.pdf", 1);
    EXPECT_EQ(text("pageCounter"), "1 page");
    EXPECT_EQ(text("outputMetric"), "1 pages");
    EXPECT_EQ(text("documentsMetric"), "1 source");
    addPages("scan.pdf", 11);
    model.selectRange("1-3");
    EXPECT_EQ(text("pageCounter"), "12 pages");
    EXPECT_EQ(text("selectionCounter"), "· 3 selected");
    EXPECT_EQ(text("documentsMetric"), "2 sources");
    EXPECT_FALSE(find("rotatedPagesBadge")->isVisible());
    model.rotateSelected(true);
    EXPECT_TRUE(find("rotatedPagesBadge")->isVisible());

    // {mode, selected range, pages per file, what the export button names}
    const std::tuple<PagesExportMode, QString, qint64, QString> cases[] = {
        {PagesExportMode::combined, "1", 1, "Create PDF"},        {PagesExportMode::selected, "2", 1, "Extract 1 Page"},
        {PagesExportMode::selected, "1-3", 1, "Extract 3 Pages"}, {PagesExportMode::split, "1", 12, "Create 1 PDFs"},
        {PagesExportMode::split, "1", 5, "Create 3 PDFs"},
    };
    for (const auto& [mode, range, chunk, title] : cases) {
        SCOPED_TRACE(title.toStdString());
        model.setExportMode(mode);
        model.selectRange(range);
        model.setSplitChunkSize(chunk);
        EXPECT_EQ(text("exportButton"), title);
    }
    EXPECT_EQ(text("splitChunkLabel"), "5 pages per PDF");
}

TEST_F(WindowStateTest, TheFooterShowsTheWayToWhatWasWritten)
{
    const QUrl written = FileLocations::toUrl(dir / "a.pdf");
    model.setLastOutputURLs({written});
    EXPECT_EQ(text("revealOutputButton"), "Show PDF in File Manager");
    model.setLastOutputURLs({written, written});
    EXPECT_EQ(text("revealOutputButton"), "Show PDFs in File Manager");
    QTest::mouseClick(find<QAbstractButton>("revealOutputButton"), Qt::LeftButton);
    EXPECT_EQ(dialogs.revealed.size(), 1u);
}

TEST_F(WindowStateTest, WhileExportingOnlyAddingAndTheGridStayInReach)
{
    addPages("a.pdf", 3);
    model.setIsExporting(true);
    EXPECT_FALSE(find("inspectorSettings")->isEnabled());
    EXPECT_FALSE(find<QAction>("actionUndo")->isEnabled());
    EXPECT_FALSE(find<QAction>("actionAddFiles")->isEnabled());
    EXPECT_TRUE(find("addPdfsButton")->isEnabled());
    EXPECT_TRUE(grid()->isEnabled());
    EXPECT_TRUE(find("cancelExportButton")->isVisible());
    model.setIsExporting(false);
    EXPECT_TRUE(find<QAction>("actionUndo")->isEnabled());
    EXPECT_TRUE(find("exportButton")->isVisible());
}

TEST_F(WindowStateTest, DeleteRemovesTheSelectionAndTheUpdateItemFollowsTheModel)
{
    addPages("a.pdf", 3);
    model.selectRange("2");
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_Delete);
    EXPECT_EQ(model.pages().size(), 2);
    EXPECT_FALSE(find<QAction>("actionUpdate")->isVisible());
    model.setAvailableUpdate(UpdateInfo{"2.1", "https://marlo.app/lumafold/2.1.zip", {}});
    EXPECT_TRUE(find<QAction>("actionUpdate")->isVisible());
    EXPECT_EQ(find<QAction>("actionUpdate")->text(), "Update to 2.1…");
}

TEST_F(WindowStateTest, SelectIsEnabledByAnyTextAndSelectsOnReturn)
{
    addPages("a.pdf", 5);
    auto* field = find<QLineEdit>("pageRangeField");
    auto* select = find<QAbstractButton>("selectRangeButton");
    QTest::keyClicks(field, " ");
    EXPECT_TRUE(select->isEnabled());
    field->clear();
    EXPECT_FALSE(select->isEnabled());
    QTest::keyClicks(field, "2-3, 5");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(selectedRows(), (QList<int>{1, 2, 4}));
}

TEST_F(WindowStateTest, SettingsAreBoundBothWaysAndTheMetadataSettingRefreshesThePreview)
{
    addPages("a.pdf", 4);
    ASSERT_TRUE(QTest::qWaitFor([this] { return model.previewResult().has_value(); }));
    auto* toggle = find<QCheckBox>("removeMetadataToggle");
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(6, toggle->height() / 2));
    EXPECT_TRUE(model.removeMetadata());
    EXPECT_TRUE(model.isRenderingPreview());
    auto* mode = find<QComboBox>("exportModePicker");
    mode->setCurrentIndex(2);
    EXPECT_EQ(model.exportMode(), PagesExportMode::split);
    QTest::keyClicks(find<QLineEdit>("outputNameField"), "x");
    EXPECT_EQ(model.outputName(), "a-pagesx");
    model.resetToDefaults();
    EXPECT_EQ(mode->currentIndex(), 0);
    EXPECT_EQ(find<QLineEdit>("outputNameField")->text(), model.outputName());
    EXPECT_EQ(text("outputFolderButton"), "Choose destination…");
    model.setOutputFolder(FileLocations::toUrl(dir.path()));
    EXPECT_EQ(text("outputFolderButton"), QString::fromStdString(dir.path().filename().string()));
}

TEST_F(WindowStateTest, AnErrorIsShownUntilTheAlertIsClosed)
{
    model.setErrorMessage(QStringLiteral("The selected destination is not writable."));
    auto* alert = find<QMessageBox>("errorAlert");
    ASSERT_TRUE(QTest::qWaitFor([alert] { return alert->isVisible(); }));
    EXPECT_EQ(alert->windowTitle(), "Marlo Lumafold");
    EXPECT_EQ(alert->text(), "The selected destination is not writable.");
    QTest::mouseClick(alert->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(model.errorMessage().has_value());
}

TEST_F(WindowStateTest, ButtonsShowTheirSymbolsWithoutAnIconTheme)
{
    for (const char* name : {"addPdfsButton", "blankPageButton", "rotateLeftButton", "rotateRightButton",
                             "duplicateButton", "removeButton", "outputFolderButton", "exportButton"}) {
        SCOPED_TRACE(name);
        const QImage alpha =
            find<QAbstractButton>(name)->icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_Alpha8);
        EXPECT_GT(
            std::count_if(alpha.constBits(), alpha.constBits() + alpha.sizeInBytes(), [](uchar a) { return a > 128; }),
            20);
    }
}

TEST_F(WindowStateTest, TheWindowAndTheInspectorKeepTheirLimits)
{
    window.resize(800, 500);
    EXPECT_GE(window.width(), 1120);
    EXPECT_GE(window.height(), 720);
    window.resize(2400, 900);
    find<QSplitter>("splitView")->setSizes({100, 100, 2000});
    EXPECT_LE(find("inspector")->width(), 390);
}

// The window as the desktop shell drives it: launch, quit, menus and the session bus.
using ShellTest = WindowTest;

// A file opened during an export is neither added nor kept for later.
TEST_F(ShellTest, FilesFromTheLaunchWaitForTheWindowAndOnesArrivingTwiceWithinASecondAreAddedOnce)
{
    // A new delegate whose model is not set yet, as at launch before the window shows.
    LumafoldDelegate launching{dialogs};
    const auto pageCountAfterLoading = [this] {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !model.isLoading(); }));
        return model.pages().size();
    };
    const QUrl a = FileLocations::toUrl(writeSimplePdf(dir / "a.pdf", 1));
    const QUrl b = FileLocations::toUrl(writeSimplePdf(dir / "b.pdf", 2));
    launching.accept({a, b});
    launching.setModel(&model);
    ASSERT_EQ(pageCountAfterLoading(), 3);
    EXPECT_EQ(model.pages().at(0).sourceName, "a.pdf");
    EXPECT_EQ(model.pages().at(2).sourceName, "b.pdf");
    std::filesystem::create_directory(dir / "x");
    launching.accept({QUrl::fromLocalFile(QString::fromStdString((dir / "x" / ".." / "a.pdf").string()))});
    EXPECT_EQ(pageCountAfterLoading(), 3);
    QTest::qWait(LumafoldDelegate::deduplicationMs + 100);
    model.setIsExporting(true);
    launching.accept({b});
    model.setIsExporting(false);
    launching.accept({a});
    EXPECT_EQ(pageCountAfterLoading(), 4);
}

TEST_F(ShellTest, QuittingAsksOnlyWhileExportingAndStopsOnlyWhenTold)
{
    model.setIsExporting(true);
    dialogs.alertAnswer = 0;
    emit model.terminationRequested(); // as after an installed update
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    dialogs.alertAnswer = 1;
    find<QAction>("actionQuit")->trigger();
    EXPECT_FALSE(window.isVisible());
    window.show();
    model.setIsExporting(false);
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(dialogs.alerts.size(), 2u);
}

TEST_F(ShellTest, FilesHandedOverTheBusAreAddedToTheServingWindow)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        GTEST_SKIP() << "no session bus; ctest runs this test under dbus-run-session";
    }
    QObject owner;
    ASSERT_TRUE(SingleInstance::serve(delegate, window, &owner));
    QProcess second;
    second.start(QStringLiteral(LUMAFOLD_DESKTOP_EXECUTABLE),
                 {QString::fromStdString(writeSimplePdf(dir / "a.pdf", 2).string())});
    ASSERT_TRUE(QTest::qWaitFor([&second] { return second.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return model.pages().size() == 2; }));
}

} // namespace

} // namespace lumafold::test
