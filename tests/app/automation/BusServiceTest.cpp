// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/automation/BusFixture.h"
#include "tests/support/PdfFactory.h"
#include "tests/support/Qpdf.h"

#include <QDBusPendingCall>
#include <QDBusReply>

#include <csignal>
#include <set>

namespace lumafold::test {
namespace {

struct Combined
{
    std::filesystem::path path;
    std::string dialog;
};

Combined combinedFrom(const QDBusMessage& reply)
{
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), QStringLiteral("ss"));
    if (reply.arguments().size() != 2) {
        return {};
    }
    return {reply.arguments()[0].toString().toStdString(), reply.arguments()[1].toString().toStdString()};
}

using BusServiceTest = BusFixture;

TEST_F(BusServiceTest, ActivationCombinesAndTheServiceLeavesWhenIdle)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {200, 201, 202});
    const auto b = writeWidthsPdf(inputs / "b.pdf", {300, 301});
    const auto aBytes = readFile(a);
    ASSERT_FALSE(serviceRuns());

    const auto result = combinedFrom(combine({qt(a), qt(b), qt(a)}));
    EXPECT_EQ(result.dialog, "Combined 3 PDFs into 8 pages.");
    EXPECT_TRUE(isCombinedInWorkingFolder(result.path, temporary.path())) << result.path;
    EXPECT_EQ(pageWidths(result.path), (std::vector<double>{200, 201, 202, 300, 301, 200, 201, 202}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(result.path.parent_path()), {}), 1);
    EXPECT_EQ(readFile(a), aBytes);
    EXPECT_TRUE(serviceRuns());

    EXPECT_TRUE(waitFor([] { return !serviceRuns(); }, 30000)) << "the headless instance did not leave";
    const auto again = combinedFrom(combine({qt(b)}));
    EXPECT_EQ(again.dialog, "Combined 1 PDFs into 2 pages.");
    EXPECT_EQ(pageWidths(again.path), (std::vector<double>{300, 301}));
}

TEST_F(BusServiceTest, FailuresAreBusErrorsWithTheCommandLineMessages)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {200});
    writeFile(inputs / "notes.pdf", std::string("not a PDF"));
    qpdf::encrypt(a, inputs / "scan.pdf", "secret", "owner");
    struct Case
    {
        QStringList paths;
        QString errorName;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, QStringLiteral("app.marlo.Lumafold.Error.NoInput"), "Choose at least one PDF."},
        {{qt(a), qt(inputs / "notes.pdf")},
         QStringLiteral("app.marlo.Lumafold.Error.CannotRead"),
         "notes.pdf could not be read."},
        {{qt(a), qt(inputs / "scan.pdf")},
         QStringLiteral("app.marlo.Lumafold.Error.Encrypted"),
         "Unlock scan.pdf before adding it."},
        {{qt(a), qt(inputs / "gone.pdf")},
         QStringLiteral("app.marlo.Lumafold.Error.CannotRead"),
         "gone.pdf could not be read."},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.message);
        const auto reply = combine(each.paths);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), each.errorName);
        EXPECT_EQ(reply.errorMessage().toStdString(), each.message);

        std::vector<std::string> args;
        for (const auto& path : each.paths) {
            args.push_back(path.toStdString());
        }
        EXPECT_EQ(runCombine(args).err, each.message + "\n");
        EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    }

    // The service does not share the caller's working folder.
    const auto relative = combine({qt(a), QStringLiteral("a.pdf")});
    EXPECT_EQ(relative.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    EXPECT_EQ(relative.errorMessage(), QStringLiteral("\u201Ca.pdf\u201D is not an absolute path."));
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

TEST_F(BusServiceTest, CommandLineAndBusGiveTheSameResult)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {210, 211}, "Same title");
    const auto b = writeWidthsPdf(inputs / "b.pdf", {310, 311, 312}, "Same title");

    const auto cli = runCombine({a, b, a});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    const auto lineEnd = cli.out.find('\n');
    const std::filesystem::path cliPath = cli.out.substr(lineEnd + 1, cli.out.size() - lineEnd - 2);
    const auto bus = combinedFrom(combine({qt(a), qt(b), qt(a)}));

    EXPECT_EQ(cli.out.substr(0, lineEnd), bus.dialog);
    EXPECT_NE(cliPath.parent_path(), bus.path.parent_path());
    EXPECT_EQ(pageWidths(cliPath), pageWidths(bus.path));
    EXPECT_EQ(documentTitle(cliPath), documentTitle(bus.path));
    EXPECT_EQ(documentTitle(bus.path), "Same title");
}

TEST_F(BusServiceTest, ConcurrentCallsDoNotCollide)
{
    constexpr int calls = 4;
    std::vector<std::vector<double>> expected(calls);
    std::vector<QDBusPendingCall> pending;
    for (int call = 0; call < calls; ++call) {
        std::vector<double> widths;
        for (int page = 0; page < 40; ++page) {
            widths.push_back(100 + 100 * call + page);
        }
        const auto first = writeWidthsPdf(inputs / ("first " + std::to_string(call) + ".pdf"), widths);
        const auto second = writeWidthsPdf(inputs / ("second " + std::to_string(call) + ".pdf"), {99.0 - call});
        expected[call] = widths;
        expected[call].push_back(99.0 - call);
        pending.push_back(bus().asyncCall(combineCall({qt(first), qt(second)}), 120000));
    }
    ASSERT_TRUE(waitFor(
        [&] { return std::all_of(pending.begin(), pending.end(), [](const auto& p) { return p.isFinished(); }); },
        240000));

    std::set<std::filesystem::path> folders;
    for (int call = 0; call < calls; ++call) {
        SCOPED_TRACE(call);
        const auto result = combinedFrom(pending[call].reply());
        EXPECT_EQ(result.dialog, "Combined 2 PDFs into 41 pages.");
        EXPECT_EQ(pageWidths(result.path), expected[call]);
        folders.insert(result.path.parent_path());
    }
    EXPECT_EQ(folders.size(), static_cast<std::size_t>(calls));
    EXPECT_EQ(workingFolders(temporary.path()).size(), static_cast<std::size_t>(calls));
}

TEST_F(BusServiceTest, AwkwardFileNamesWork)
{
    QStringList paths;
    std::vector<double> widths;
    for (std::size_t i = 0; i < awkwardNames.size(); ++i) {
        paths << qt(writeWidthsPdf(inputs / awkwardNames[i], {400.0 + static_cast<double>(i)}));
        widths.push_back(400.0 + static_cast<double>(i));
    }
    const auto count = std::to_string(awkwardNames.size());
    const auto result = combinedFrom(combine(paths));
    EXPECT_EQ(result.dialog, "Combined " + count + " PDFs into " + count + " pages.");
    EXPECT_EQ(pageWidths(result.path), widths);

    const std::string lockedName = "-locked \u201Cquoted\u201D 'it' \u00DCn\u00EF \u540D.pdf";
    qpdf::encrypt(inputs / awkwardNames[0], inputs / lockedName, "secret", "owner");
    const auto locked = combine({paths[1], qt(inputs / lockedName)});
    EXPECT_EQ(locked.errorMessage().toStdString(), "Unlock " + lockedName + " before adding it.");
}

TEST_F(BusServiceTest, EndingTheServiceCancelsItsCallsAndRemovesTheirFolders)
{
    // Large enough that the engine is still at work when the signal comes.
    const auto big = qt(writeSimplePdf(inputs / "big.pdf", 4000));
    auto pending = bus().asyncCall(combineCall({big, big, big, big, big}), 120000);
    ASSERT_TRUE(waitFor([this] { return !workingFolders(temporary.path()).empty(); }, 60000));
    const QDBusReply<uint> pid = bus().interface()->servicePid(serviceName);
    ASSERT_TRUE(pid.isValid());

    ::kill(static_cast<pid_t>(pid.value()), SIGTERM);
    ASSERT_TRUE(waitFor([&] { return pending.isFinished(); }, 120000));
    const auto reply = pending.reply();
    EXPECT_EQ(reply.errorName(), QStringLiteral("app.marlo.Lumafold.Error.Cancelled"));
    EXPECT_EQ(reply.errorMessage(), QStringLiteral("The operation was cancelled."));
    EXPECT_TRUE(waitFor([] { return !serviceRuns(); }, 30000));
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

} // namespace
} // namespace lumafold::test
