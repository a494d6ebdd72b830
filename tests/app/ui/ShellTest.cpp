// SPDX-License-Identifier: AGPL-3.0-or-later
#include "WindowTestSupport.h"

#include "ui/SingleInstance.h"

#include <QDBusConnection>
#include <QProcess>

namespace lumafold::test {

namespace {

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

TEST_F(ShellTest, DeleteRemovesTheSelectionAndMenusFollowTheModel)
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
