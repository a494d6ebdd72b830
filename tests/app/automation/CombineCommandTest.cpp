// SPDX-License-Identifier: AGPL-3.0-or-later
#include "AutomationTestSupport.h"
#include "automation/ProcessSetup.h"
#include "automation/WorkingFolder.h"
#include "lumafold/LumafoldError.h"
#include "support/PdfFactory.h"

#include <QProcess>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

// Every file's bytes, to show that a run only read them.
std::map<fs::path, std::vector<unsigned char>> snapshot(const fs::path& folder)
{
    std::map<fs::path, std::vector<unsigned char>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[entry.path()] = entry.is_regular_file() ? readFile(entry.path()) : std::vector<unsigned char>{};
    }
    return files;
}

struct WorkingDirectory
{
    explicit WorkingDirectory(const fs::path& folder) { fs::current_path(folder); }
    ~WorkingDirectory() { fs::current_path(previous); }
    const fs::path previous = fs::current_path();
};

using CombineCommandTest = CombineFixture;

// Awkward names, given relative to the working folder, the first one twice and "-" as "./-".
TEST_F(CombineCommandTest, CombinesEveryPageInOrderKeepingTheInformationAndOnlyReadsTheInputs)
{
    auto widths = writeAwkwardPdfs(inputs.path());
    std::vector<std::string> args = {"--"};
    for (const auto& name : awkwardNames) {
        args.push_back(name == "-" ? "./-" : name);
    }
    args.push_back(awkwardNames[0]);
    widths.push_back(widths[0]);
    const auto before = snapshot(inputs.path());

    const WorkingDirectory inInputs(inputs.path());
    const auto result = printedResult(runCombine(args), "Combined 8 PDFs into 8 pages.");
    EXPECT_TRUE(isCombinedInWorkingFolder(result, temporary.path())) << result;
    EXPECT_EQ(pageWidths(result), widths);
    const PdfInspector pdf(result);
    EXPECT_EQ(pdf.resolve(pdf.trailer()["/Info"])["/Title"], "u:Quarterly report");
    EXPECT_TRUE(qpdf::checkPasses(result));
    // The input copies are gone; the result is all that is left.
    EXPECT_EQ(temporary.entries().size(), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(result.parent_path()), {}), 1);
    EXPECT_EQ(snapshot(inputs.path()), before);
}

// Unreadable inputs end the run with 1, mistakes on the command line with 2.
TEST_F(CombineCommandTest, FailuresSayWhyAndLeaveNothingBehind)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {200, 201});
    qpdf::encrypt(a, inputs / "locked.pdf", "secret", "owner");
    ASSERT_EQ(::mkfifo((inputs / "pipe.pdf").c_str(), 0600), 0);
    writeFile(inputs / "damaged.pdf", std::string("%PDF-1.7\nno objects follow\n"));
    const auto usage = [](const std::string& message) {
        return "lumafold combine: " + message + "\nTry \u201Clumafold combine --help\u201D.";
    };
    const std::string dash = "\u201C-\u201D is not a file here: standard input and output are not used. Write ./- "
                             "for a file of that name.";
    const std::string folder = "\u201D is a folder; give the path of the new file, such as folder/Combined.pdf.";
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{}, 1, "Choose at least one PDF."},
        // The engine reads a copy, yet the message names the file given.
        {{a, inputs / "locked.pdf", a}, 1, "Unlock locked.pdf before adding it."},
        {{a, inputs / "damaged.pdf"}, 1, "damaged.pdf could not be read."},
        {{a, inputs / "pipe.pdf"}, 1, "pipe.pdf could not be read."},
        // Names that could pass for a different message are quoted.
        {{inputs / "two\nlines\t\x1B \"\\\".pdf"}, 1, "\"two\\nlines\\t\\033 \\\"\\\\\\\".pdf\" could not be read."},
        {{"-"}, 2, usage(dash)},
        {{a, "--bogus"}, 2, usage("unknown option \u201C--bogus\u201D.")},
        {{a, "-o"}, 2, usage("\u201C-o\u201D needs a path.")},
        {{"-o", inputs / "x.pdf", "--output", inputs / "y.pdf", a}, 2, usage("--output is given more than once.")},
        {{a, ""}, 2, usage("an empty file name was given.")},
        {{"-o", inputs / "new/", a}, 2, usage("--output \u201C" + (inputs / "new/").string() + folder)},
    };
    const auto before = snapshot(inputs.path());
    for (const auto& [args, exitCode, message] : cases) {
        SCOPED_TRACE(message);
        const auto result = runCombine(args);
        EXPECT_EQ(result.exitCode, exitCode);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.errors, message + "\n");
        EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    }
    EXPECT_EQ(snapshot(inputs.path()), before);
}

TEST_F(CombineCommandTest, OutputIsWrittenWhereAskedAndNeverReplacesAFile)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {200, 201, 202});
    const auto target = (inputs / "out.pdf").string();
    EXPECT_EQ(printedResult(runCombine({"--output=" + target, a}), "Combined 1 PDFs into 3 pages."), target);
    EXPECT_EQ(pageWidths(target), (std::vector<double>{200, 201, 202}));
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});

    const auto refused = runCombine({"-o" + target, a, a});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errors, "out.pdf already exists.\n");
    EXPECT_EQ(pageWidths(target).size(), 3u) << "the file already there is kept";
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});

    // A relative path is the caller's, and the printed path is absolute.
    const WorkingDirectory inInputs(inputs.path());
    const fs::path printed = printedResult(runCombine({"-o", "relative.pdf", a}), "Combined 1 PDFs into 3 pages.");
    EXPECT_TRUE(printed.is_absolute() && fs::equivalent(printed, inputs / "relative.pdf")) << printed;
}

// The program itself, copied without lumafold-desktop beside it: combining must need neither the
// Qt half, nor a display, nor anything on standard input, which stays an open, silent pipe.
TEST_F(CombineCommandTest, TheFrontEndAloneCombinesWithoutDisplayOrStandardInput)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {200, 201});
    TempDir alone;
    fs::copy_file(LUMAFOLD_EXECUTABLE, alone / "lumafold");
    // A GUI application object would abort on a platform plugin that does not exist.
    const ScopedEnvironmentVariable noDisplay("DISPLAY", std::nullopt), noWayland("WAYLAND_DISPLAY", std::nullopt),
        noPlatform("QT_QPA_PLATFORM", "no-such-platform");
    QProcess process;
    process.start(QString::fromStdString(alone / "lumafold"), {QStringLiteral("combine"), QString::fromStdString(a)});
    ASSERT_TRUE(process.waitForFinished(120000));
    const ProcessResult result{process.exitCode(), process.readAllStandardOutput().toStdString(),
                               process.readAllStandardError().toStdString()};
    EXPECT_EQ(pageWidths(printedResult(result, "Combined 1 PDFs into 2 pages.")), (std::vector<double>{200, 201}));

    const auto service = runProcess({(alone / "lumafold").string(), "--dbus-service"});
    EXPECT_EQ(service.exitCode, 127);
    EXPECT_NE(service.errors.find("lumafold-desktop"), std::string::npos) << service.errors;
}

// A second signal, as from an impatient user, must not kill it before it has cleaned up and said so.
TEST_F(CombineCommandTest, InterruptsStopTheCombineAndRemoveTheWorkingFolder)
{
    // Enough pages that it is still at work once its working folder exists.
    const auto big = QString::fromStdString(writeSimplePdf(inputs / "big.pdf", 4000));
    QProcess process;
    process.start(QStringLiteral(LUMAFOLD_EXECUTABLE), {QStringLiteral("combine"), big, big, big, big, big});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !workingFolders(temporary.path()).empty(); }, 60000));
    ASSERT_EQ(process.state(), QProcess::Running) << "finished before it could be interrupted";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + SIGINT);
    EXPECT_EQ(process.readAllStandardError().toStdString(), "The operation was cancelled.\n");
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), "");
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

// Many inputs need many open files: a low soft limit is raised as far as the hard one allows.
TEST(ProcessSetupTest, RaisesTheOpenFileLimit)
{
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    const rlimit lowered{std::min<rlim_t>(files.rlim_max, 32), files.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    prepareProcess();
    rlimit raised{};
    ::getrlimit(RLIMIT_NOFILE, &raised);
    ::setrlimit(RLIMIT_NOFILE, &files);
    std::signal(SIGXFSZ, SIG_DFL); // ignoring it would pass on to the programs other tests start
    EXPECT_EQ(raised.rlim_cur, files.rlim_max);
}

// Only what looks like a PDF (its header within the first KiB) is copied, and holes stay holes.
TEST_F(CombineCommandTest, WorkingCopiesAreMadeOfPdfsOnlyAndKeepTheirHoles)
{
    const WorkingFolder folder;
    const auto sparse = [&](const std::string& name, const std::string& head) {
        const auto path = inputs / name;
        writeFile(path, head);
        fs::resize_file(path, 64 << 20);
        return path;
    };
    EXPECT_THROW(folder.copyIn(sparse("late.pdf", std::string(1020, ' ') + "%PDF-1.7\n"), "late.pdf"), LumafoldError);
    EXPECT_NO_THROW(folder.copyIn(sparse("early.pdf", std::string(1019, ' ') + "%PDF-1.7\n"), "early.pdf"));

    const auto source = sparse("holes.pdf", "%PDF-1.7\n");
    {
        std::ofstream tail(source, std::ios::in | std::ios::out | std::ios::binary);
        tail.seekp(48 << 20);
        tail << "data after a hole";
    }
    const auto copy = folder.copyIn(source, "copy.pdf");
    EXPECT_EQ(readFile(copy), readFile(source));
    struct stat info;
    ASSERT_EQ(::stat(copy.c_str(), &info), 0);
    EXPECT_LT(info.st_blocks * 512, 1 << 20) << "the holes were filled";
}

// A full disk, played by a file-size limit that the copies of the input fit under and the result
// does not: the user learns why, and the folders made for the result are gone again. The program
// inherits the limit.
TEST_F(CombineCommandTest, AFailedWriteSaysWhyAndLeavesNoFoldersItMade)
{
    const auto a = writeSimplePdf(inputs / "a.pdf", 200);
    fs::create_directory(inputs / "there");
    rlimit size{};
    ::getrlimit(RLIMIT_FSIZE, &size);
    const rlimit small{fs::file_size(a) * 3 / 2, size.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto result = runProcess({LUMAFOLD_EXECUTABLE, "combine", "-o", inputs / "there/new/deeper/out.pdf", a, a});
    ::setrlimit(RLIMIT_FSIZE, &size);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "The new PDF could not be written.\n" + std::string(std::strerror(EFBIG)) + ".\n");
    EXPECT_TRUE(fs::is_empty(inputs / "there"));
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

} // namespace
} // namespace lumafold::test
