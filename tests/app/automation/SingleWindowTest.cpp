// SPDX-License-Identifier: AGPL-3.0-or-later
#include "BusFixture.h"
#include "support/PdfFactory.h"

#include <QDBusPendingCall>

#include <csignal>

namespace lumafold::test {
namespace {

using SingleWindowTest = BusFixture;

// Later starts handing their files to a window are ShellTest's.
TEST_F(SingleWindowTest, AStartHandedToTheHeadlessServiceOpensAWindowThatTakesTheNameOverWhileACallRuns)
{
    const ScopedEnvironmentVariable offscreen("QT_QPA_PLATFORM", "offscreen");
    const QString a = qt(writeSimplePdf(inputs / "a.pdf", 1));
    // Activated by the call, a headless service holds the name when the window starts, and is
    // still answering a long call then (unoptimised sanitizer builds on a busy machine take minutes).
    const QString many = qt(writeSimplePdf(inputs / "many.pdf", 4000));
    QDBusPendingCall inFlight = bus().asyncCall(combineCall({many, many, many}), 600000);
    ASSERT_TRUE(QTest::qWaitFor(serviceRuns));
    const auto headless = bus().interface()->servicePid(serviceName).value();

    EXPECT_EQ(runProcess({LUMAFOLD_DESKTOP_EXECUTABLE}).exitCode, 0);
    const auto owner = [] {
        return bus().interface()->servicePid(serviceName).value();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner() != 0 && owner() != headless; }, 60000));
    const auto window = owner();
    EXPECT_FALSE(inFlight.isFinished()) << "the call ended before the window took the name over";

    inFlight.waitForFinished();
    EXPECT_FALSE(inFlight.isError()) << inFlight.error().message().toStdString();
    // Combine PDFs is served by the window now.
    EXPECT_EQ(combine({a}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(owner(), window);
    ::kill(static_cast<pid_t>(window), SIGTERM);
}

} // namespace
} // namespace lumafold::test
