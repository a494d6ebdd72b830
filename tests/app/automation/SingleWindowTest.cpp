// SPDX-License-Identifier: AGPL-3.0-or-later
#include "BusFixture.h"
#include "support/PdfFactory.h"
#include "support/Qpdf.h"

#include <QDBusPendingCall>
#include <QProcess>

namespace lumafold::test {

namespace {

class SingleWindowTest : public BusFixture
{
protected:
    // Whether a window holds the name: only a window answers org.freedesktop.Application itself.
    static bool windowHoldsTheName()
    {
        auto activate =
            QDBusMessage::createMethodCall(serviceName, QStringLiteral("/app/marlo/Lumafold"),
                                           QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
        activate.setAutoStartService(false);
        activate << QVariantMap();
        return bus().call(activate, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage &&
               bus().interface()->serviceOwner(serviceName).value() == windowOwner;
    }

    static inline QString windowOwner;
    ScopedEnvironmentVariable offscreen{"QT_QPA_PLATFORM", "offscreen"};
};

TEST_F(SingleWindowTest, AWindowTakesTheNameOverAndLaterStartsHandItTheirFiles)
{
    const QString a = qt(writeSimplePdf(inputs / "a.pdf", 1));
    // Activated by the call, a headless service holds the name when the window starts, and is
    // still answering a long call then (unoptimised sanitizer builds on a busy machine take minutes).
    const QString many = qt(writeSimplePdf(inputs / "many.pdf", 4000));
    QDBusPendingCall inFlight = bus().asyncCall(combineCall({many, many, many}), 600000);
    ASSERT_TRUE(QTest::qWaitFor(serviceRuns));
    QProcess window;
    window.start(QStringLiteral(LUMAFOLD_DESKTOP_EXECUTABLE), {});
    ASSERT_TRUE(window.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            windowOwner = bus().interface()->serviceOwner(serviceName).value();
            return windowHoldsTheName();
        },
        60000));

    const ProcessResult second = runProcess({LUMAFOLD_DESKTOP_EXECUTABLE, a.toStdString()});
    EXPECT_EQ(second.exitCode, 0) << second.errors;
    EXPECT_TRUE(windowHoldsTheName());
    EXPECT_EQ(window.state(), QProcess::Running);
    inFlight.waitForFinished();
    EXPECT_FALSE(inFlight.isError()) << inFlight.error().message().toStdString();
    // Combine PDFs is served by the window now.
    EXPECT_EQ(combine({a}).type(), QDBusMessage::ReplyMessage);
    window.terminate();
    window.waitForFinished();
}

} // namespace

} // namespace lumafold::test
