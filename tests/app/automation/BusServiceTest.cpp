// SPDX-License-Identifier: AGPL-3.0-or-later
#include "BusFixture.h"
#include "support/PdfFactory.h"
#include "support/Qpdf.h"

#include <QDBusPendingCall>
#include <QDBusReply>

#include <csignal>
#include <set>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

// The reply's (combinedPath, dialog); an error reply has another signature.
std::pair<fs::path, std::string> combinedFrom(const QDBusMessage& reply)
{
    EXPECT_EQ(reply.signature(), QStringLiteral("ss")) << reply.errorMessage().toStdString();
    const auto answer = reply.arguments();
    return {answer.value(0).toString().toStdString(), answer.value(1).toString().toStdString()};
}

using BusServiceTest = BusFixture;

TEST_F(BusServiceTest, ActivationCombinesAwkwardNamesAndTheServiceLeavesWhenIdle)
{
    const auto widths = writeAwkwardPdfs(inputs.path());
    QStringList paths;
    for (const auto& name : awkwardNames) {
        paths << qt(inputs / name);
    }
    ASSERT_FALSE(serviceRuns());

    const auto [path, dialog] = combinedFrom(combine(paths));
    const auto count = std::to_string(widths.size());
    EXPECT_EQ(dialog, "Combined " + count + " PDFs into " + count + " pages.");
    EXPECT_TRUE(isCombinedInWorkingFolder(path, temporary.path())) << path;
    EXPECT_EQ(pageWidths(path), widths);
    EXPECT_TRUE(serviceRuns());

    EXPECT_TRUE(QTest::qWaitFor([] { return !serviceRuns(); }, 30000)) << "the headless instance did not leave";
    EXPECT_EQ(pageWidths(combinedFrom(combine({paths[1]})).first), std::vector<double>{401});
}

TEST_F(BusServiceTest, FailuresAreNamedBusErrors)
{
    const auto a = qt(writeWidthsPdf(inputs / "a.pdf", {200}));
    qpdf::encrypt(a.toStdString(), inputs / "locked.pdf", "secret", "owner");
    // {paths, error name, message}; the service does not share the caller's working folder.
    const std::tuple<QStringList, QString, QString> cases[] = {
        {{}, "app.marlo.Lumafold.Error.NoInput", "Choose at least one PDF."},
        {{a, qt(inputs / "locked.pdf")}, "app.marlo.Lumafold.Error.Encrypted", "Unlock locked.pdf before adding it."},
        {{a, "a.pdf"}, "org.freedesktop.DBus.Error.InvalidArgs", "\u201Ca.pdf\u201D is not an absolute path."},
    };
    for (const auto& [paths, error, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        const auto reply = combine(paths);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), error);
        EXPECT_EQ(reply.errorMessage(), message);
        EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    }
}

TEST_F(BusServiceTest, ConcurrentCallsDoNotCollide)
{
    // Call n combines a file of 40 pages, each 100 * n + 100 points wide.
    std::vector<QDBusPendingCall> pending;
    for (int call = 0; call < 4; ++call) {
        const auto file = writeSimplePdf(inputs / (std::to_string(call) + ".pdf"), 40, 100.0 * call + 100);
        pending.push_back(bus().asyncCall(combineCall({qt(file)}), 120000));
    }
    std::set<fs::path> folders;
    for (int call = 0; call < 4; ++call) {
        pending[call].waitForFinished();
        const auto path = combinedFrom(pending[call].reply()).first;
        EXPECT_EQ(pageWidths(path), std::vector<double>(40, 100.0 * call + 100)) << call;
        folders.insert(path.parent_path());
    }
    EXPECT_EQ(folders.size(), 4u);
}

TEST_F(BusServiceTest, EndingTheServiceCancelsItsCallsAndRemovesTheirFolders)
{
    // Large enough that the engine is still at work when the signal comes.
    const auto big = qt(writeSimplePdf(inputs / "big.pdf", 4000));
    auto pending = bus().asyncCall(combineCall({big, big, big, big, big}), 120000);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !workingFolders(temporary.path()).empty(); }, 60000));
    const QDBusReply<uint> pid = bus().interface()->servicePid(serviceName);
    ASSERT_TRUE(pid.isValid());

    ::kill(static_cast<pid_t>(pid.value()), SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 120000));
    const auto reply = pending.reply();
    EXPECT_EQ(reply.errorName(), QStringLiteral("app.marlo.Lumafold.Error.Cancelled"));
    EXPECT_EQ(reply.errorMessage(), QStringLiteral("The operation was cancelled."));
    EXPECT_TRUE(QTest::qWaitFor([] { return !serviceRuns(); }, 30000));
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

TEST_F(BusServiceTest, AResultWhoseCallerHasGoneIsRemoved)
{
    const auto big = qt(writeSimplePdf(inputs / "big.pdf", 4000));
    {
        auto caller = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("caller"));
        caller.asyncCall(combineCall({big, big}), 120000);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !workingFolders(temporary.path()).empty(); }, 60000));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
    // The call itself runs to its end; what it made has to go then.
    EXPECT_TRUE(QTest::qWaitFor([this] { return workingFolders(temporary.path()).empty(); }, 120000));
}

} // namespace
} // namespace lumafold::test
