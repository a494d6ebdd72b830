// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/Version.h"
#include "tests/app/automation/AutomationTestSupport.h"
#include "tests/support/PdfFactory.h"
#include "tests/support/Qpdf.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QProcess>

#include <QDeadlineTimer>
#include <QThread>

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace lumafold::test {
namespace {

using Snapshot = std::map<std::string, std::vector<unsigned char>>;

Snapshot snapshot(const std::filesystem::path& folder)
{
    Snapshot files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = entry.is_regular_file() ? readFile(entry.path()) : std::vector<unsigned char>{};
    }
    return files;
}

class WorkingDirectory
{
public:
    explicit WorkingDirectory(const std::filesystem::path& folder) : m_previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory() { std::filesystem::current_path(m_previous); }

private:
    std::filesystem::path m_previous;
};

class CombineCommandTest : public ::testing::Test
{
protected:
    std::filesystem::path input(const std::string& name, const std::vector<double>& widths,
                                std::optional<std::string> title = std::nullopt)
    {
        return writeWidthsPdf(inputs / name, widths, std::move(title));
    }

    // Asserts a successful run and returns the path it printed.
    std::filesystem::path combined(const CommandResult& result, const std::string& dialog)
    {
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        const auto lineEnd = result.out.find('\n');
        EXPECT_EQ(result.out.substr(0, lineEnd + 1), dialog + "\n");
        EXPECT_TRUE(result.out.ends_with('\n'));
        return result.out.substr(lineEnd + 1, result.out.size() - lineEnd - 2);
    }

    TempDir inputs;
    TempDir temporary;
    TemporaryDirectoryOverride temporaryOverride{temporary.path()};
};

TEST_F(CombineCommandTest, CombinesEveryPageInOrderAndOnlyReadsTheInputs)
{
    const auto a = input("a.pdf", {200, 201, 202});
    const auto b = input("b.pdf", {300, 301});
    const auto before = snapshot(inputs.path());

    const auto result = combined(runCombine({a, b, a}), "Combined 3 PDFs into 8 pages.");

    EXPECT_TRUE(isCombinedInWorkingFolder(result, temporary.path())) << result;
    EXPECT_EQ(pageWidths(result), (std::vector<double>{200, 201, 202, 300, 301, 200, 201, 202}));
    EXPECT_TRUE(qpdf::checkPasses(result));
    // The input copies are gone; the result is all that is left.
    EXPECT_EQ(workingFolders(temporary.path()).size(), 1u);
    EXPECT_EQ(std::filesystem::directory_iterator(result.parent_path())->path(), result);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(result.parent_path()), {}), 1);
    EXPECT_EQ(snapshot(inputs.path()), before);
}

TEST_F(CombineCommandTest, DialogCountsTheGivenFilesAndTheResultPages)
{
    struct Case
    {
        std::vector<int> pageCounts;
        int pages;
        std::string dialog;
    };
    const std::vector<Case> cases = {
        {{5}, 5, "Combined 1 PDFs into 5 pages."},
        {{2, 3, 7}, 12, "Combined 3 PDFs into 12 pages."},
        {{1, 1, 1, 1}, 4, "Combined 4 PDFs into 4 pages."},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].dialog);
        std::vector<std::string> args;
        for (std::size_t n = 0; n < cases[i].pageCounts.size(); ++n) {
            args.push_back(writeSimplePdf(inputs / ("case" + std::to_string(i) + "-" + std::to_string(n) + ".pdf"),
                                          cases[i].pageCounts[n]));
        }
        const auto result = combined(runCombine(args), cases[i].dialog);
        EXPECT_EQ(qpdf::pageCount(result), cases[i].pages);
    }
}

TEST_F(CombineCommandTest, KeepsTheDocumentInformation)
{
    const auto report = input("report.pdf", {500, 501}, "Quarterly report");
    const auto result = combined(runCombine({report}), "Combined 1 PDFs into 2 pages.");
    EXPECT_EQ(documentTitle(result), "Quarterly report");
}

TEST_F(CombineCommandTest, FailuresNameTheGivenFileAndLeaveNothingBehind)
{
    const auto a = input("a.pdf", {200, 201});
    writeFile(inputs / "notes.pdf", std::string("just some notes, not a PDF\n"));
    qpdf::encrypt(a, inputs / "scan.pdf", "secret", "owner");
    std::filesystem::create_directory(inputs / "folder.pdf");
    ASSERT_EQ(::mkfifo((inputs / "pipe.pdf").c_str(), 0600), 0);

    struct Case
    {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "Choose at least one PDF."},
        {{a, inputs / "notes.pdf"}, "notes.pdf could not be read."},
        {{a, inputs / "scan.pdf", a}, "Unlock scan.pdf before adding it."},
        {{a, inputs / "gone.pdf"}, "gone.pdf could not be read."},
        {{inputs / "folder.pdf"}, "folder.pdf could not be read."},
        {{a, inputs / "pipe.pdf"}, "pipe.pdf could not be read."},
    };
    const auto before = snapshot(inputs.path());
    for (const auto& each : cases) {
        SCOPED_TRACE(each.message);
        const auto result = runCombine(each.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, each.message + "\n");
        EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    }
    EXPECT_EQ(snapshot(inputs.path()), before);

    // The working folder cannot be made.
    writeFile(temporary / "not a folder", std::string("x"));
    const TemporaryDirectoryOverride unusable(temporary / "not a folder");
    const auto noFolder = runCombine({a});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_EQ(noFolder.err, "The temporary folder could not be found: Not a directory.\n");
}

TEST_F(CombineCommandTest, OutputIsWrittenWhereAskedAndNeverReplacesAFile)
{
    const auto a = input("a.pdf", {200, 201, 202});
    const auto outputs = inputs.path() / "outputs";
    std::filesystem::create_directory(outputs);
    const std::vector<std::function<std::vector<std::string>(const std::string&)>> forms = {
        [](const std::string& path) {
            return std::vector<std::string>{"-o", path};
        },
        [](const std::string& path) {
            return std::vector<std::string>{"--output", path};
        },
        [](const std::string& path) { return std::vector<std::string>{"--output=" + path}; },
        [](const std::string& path) { return std::vector<std::string>{"-o" + path}; },
    };
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const auto target = outputs / ("form " + std::to_string(i) + ".pdf");
        auto args = forms[i](target);
        args.push_back(a);
        SCOPED_TRACE(args.front());
        EXPECT_EQ(combined(runCombine(args), "Combined 1 PDFs into 3 pages."), target);
        EXPECT_EQ(pageWidths(target), (std::vector<double>{200, 201, 202}));
        EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    }

    writeFile(outputs / "existing.pdf", std::string("keep me"));
    const auto refused = runCombine({"-o", outputs / "existing.pdf", a});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "existing.pdf already exists.\n");
    EXPECT_EQ(readFile(outputs / "existing.pdf"), (std::vector<unsigned char>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});

    // A relative path is the caller's, and the printed path is absolute.
    const WorkingDirectory inOutputs(outputs);
    const std::filesystem::path printed =
        combined(runCombine({"-o", "relative.pdf", a}), "Combined 1 PDFs into 3 pages.");
    EXPECT_TRUE(printed.is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(printed, outputs / "relative.pdf"));
}

TEST_F(CombineCommandTest, CommandLineMistakesAreUsageErrors)
{
    const auto a = input("a.pdf", {200});
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"-"},
         "lumafold combine: \u201C-\u201D is not a file here: standard input and output are not used. Write "
         "./- for a file of that name.\n"},
        {{a, "-o", "-"},
         "lumafold combine: \u201C-\u201D is not a file here: standard input and output are not "
         "used. Write ./- for a file of that name.\n"},
        {{a, "--bogus"}, "lumafold combine: unknown option \u201C--bogus\u201D.\n"},
        {{a, "-o"}, "lumafold combine: \u201C-o\u201D needs a path.\n"},
        {{"-o", inputs / "x.pdf", "--output", inputs / "y.pdf", a},
         "lumafold combine: --output is given more than once.\n"},
        {{a, ""}, "lumafold combine: an empty file name was given.\n"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.err);
        const auto result = runCombine(each.args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, each.err + "Try \u201Clumafold combine --help\u201D.\n");
    }
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(inputs / "x.pdf"));

    const auto help = runCombine({a, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: lumafold combine [OPTION]... FILE...\n")) << help.out;
    const auto version = runCombine({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("Lumafold ") + projectVersion + "\n");
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

TEST_F(CombineCommandTest, AwkwardFileNamesWork)
{
    std::vector<std::string> relative = {"--"};
    std::vector<double> widths;
    for (std::size_t i = 0; i < awkwardNames.size(); ++i) {
        input(awkwardNames[i], {400.0 + static_cast<double>(i)});
        relative.push_back(awkwardNames[i]);
        widths.push_back(400.0 + static_cast<double>(i));
    }
    input("-", {399});
    relative.push_back("./-");
    widths.push_back(399);

    const WorkingDirectory inInputs(inputs.path());
    const auto count = std::to_string(widths.size());
    const auto result = combined(runCombine(relative), "Combined " + count + " PDFs into " + count + " pages.");
    EXPECT_EQ(pageWidths(result), widths);

    const std::string lockedName = "-locked \u201Cquoted\u201D 'it' \u00DCn\u00EF \u540D.pdf";
    qpdf::encrypt(inputs / awkwardNames[0], inputs / lockedName, "secret", "owner");
    const auto locked = runCombine({"--", awkwardNames[2], lockedName});
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_EQ(locked.err, "Unlock " + lockedName + " before adding it.\n");
}

TEST_F(CombineCommandTest, CombiningNeedsNothingButTheFrontEnd)
{
    // A copy of the front end without lumafold-desktop beside it: combine must not need the Qt half.
    const auto a = input("a.pdf", {200, 201});
    TempDir alone;
    std::filesystem::copy_file(LUMAFOLD_EXECUTABLE, alone / "lumafold");
    const auto combined =
        runProcess({(alone / "lumafold").string(), "combine", "-o", (alone / "out.pdf").string(), a.string()});
    EXPECT_EQ(combined.exitCode, 0) << combined.errors;
    EXPECT_EQ(pageWidths((alone / "out.pdf").string()), (std::vector<double>{200, 201}));

    const auto service = runProcess({(alone / "lumafold").string(), "--dbus-service"});
    EXPECT_EQ(service.exitCode, 127);
    EXPECT_NE(service.errors.find("lumafold-desktop"), std::string::npos) << service.errors;
}

TEST_F(CombineCommandTest, TheProgramNeedsNoDisplayAndNeverReadsStandardInput)
{
    const auto a = input("a.pdf", {200, 201});
    int argc = 1;
    char name[] = "automation_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // A GUI application object would abort on a platform plugin that does not exist.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    process.setProcessEnvironment(environment);
    // Standard input stays an open, silent pipe: reading it would never end.
    process.start(QStringLiteral(LUMAFOLD_EXECUTABLE), {QStringLiteral("combine"), QString::fromStdString(a)});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const auto lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("Combined 1 PDFs into 2 pages."));
    EXPECT_EQ(pageWidths(lines[1].toStdString()), (std::vector<double>{200, 201}));
}

TEST_F(CombineCommandTest, AnInterruptStopsTheCombineAndRemovesTheWorkingFolder)
{
    // Large enough that the engine is still at work when the signal comes.
    const auto big = writeSimplePdf(inputs / "big.pdf", 4000);
    QProcess process;
    process.start(QStringLiteral(LUMAFOLD_EXECUTABLE),
                  {QStringLiteral("combine"), QString::fromStdString(big), QString::fromStdString(big),
                   QString::fromStdString(big), QString::fromStdString(big), QString::fromStdString(big)});
    ASSERT_TRUE(process.waitForStarted());
    const QDeadlineTimer deadline(60000);
    while (workingFolders(temporary.path()).empty() && process.state() == QProcess::Running && !deadline.hasExpired()) {
        QThread::msleep(1);
    }
    ASSERT_EQ(process.state(), QProcess::Running) << "finished before it could be interrupted";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + SIGINT);
    EXPECT_EQ(process.readAllStandardError().toStdString(), "The operation was cancelled.\n");
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), "");
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

} // namespace
} // namespace lumafold::test
