// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "update/BundleSignature.h"
#include "update/SelfUpdater.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

pid_t start(const std::vector<std::string>& command, const fs::path& folder = "/")
{
    std::vector<char*> argv;
    for (const auto& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) == 0) {
            ::execv(argv[0], argv.data());
        }
        ::_exit(127);
    }
    return child;
}

void finish(pid_t child)
{
    ::waitpid(child, nullptr, 0);
}

// The bundles under names a shell would split, expand or take for an option, given to the script
// relative to its working folder.
const std::string newApp = "-new $(x) 'a\"\nb/Lumafold.app";
const std::string oldApp = "-old $y/Lumafold.app";

class SwapScript : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::makeBundle(dir / newApp, "2.1.0");
        writeScriptWaitingFor(start({"/bin/true"}));
        reset();
    }
    void writeScriptWaitingFor(pid_t process)
    {
        finish(process); // the script waits for an exited process as for one still running: not at all
        test::writeFile(dir / "swap.sh", SelfUpdater::swapScript(process));
    }
    void reset()
    {
        for (const char* suffix : {"", ".new", ".bak"}) {
            fs::remove_all(dest.string() + suffix);
        }
        fs::remove_all(dir / "bin");
        test::makeBundle(dest, "2.0");
    }
    pid_t startScript() { return start({"/bin/sh", "swap.sh", newApp, oldApp}, dir.path()); }
    // What the program the script started wrote, once it did.
    std::string startedVersion()
    {
        for (int i = 0; i < 500 && !fs::exists(marker); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        const auto bytes = fs::exists(marker) ? test::readFile(marker) : std::vector<unsigned char>{};
        fs::remove(marker);
        return {bytes.begin(), bytes.end()};
    }
    void writeTool(const fs::path& tool, const std::string& text)
    {
        fs::create_directories(tool.parent_path());
        fs::remove(tool);
        test::writeFile(tool, "#!/bin/sh\n" + text + "\n");
        fs::permissions(tool, fs::perms::owner_all);
    }
    std::string manifest(const fs::path& bundle) const { return BundleSignature::manifestOf(bundle); }
    std::size_t entriesBesideTheBundle() const
    {
        return std::distance(fs::directory_iterator(dest.parent_path()), fs::directory_iterator()) - 1;
    }

    test::TempDir dir;
    fs::path dest = dir / oldApp;
    fs::path helper = dest / "Contents/bin/lumafold-exchange";
    fs::path marker = dir / "marker";
    test::ScopedEnvironmentVariable markerVariable{"LUMAFOLD_TEST_MARKER", marker.string()};
    test::ScopedEnvironmentVariable path{"PATH", (dir / "bin").string() + ":" + std::getenv("PATH")};
};

TEST_F(SwapScript, WaitsForTheProgramToExitThenSwapsAndStartsTheNewVersion)
{
    const pid_t program = start({"/bin/sleep", "60"});
    test::writeFile(dir / "swap.sh", SelfUpdater::swapScript(program));
    const std::string old = manifest(dest);
    const pid_t script = startScript();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(manifest(dest), old);
    EXPECT_FALSE(fs::exists(marker));
    ::kill(program, SIGTERM);
    finish(program);
    finish(script);
    EXPECT_EQ(startedVersion(), "2.1.0\n");
    EXPECT_EQ(manifest(dest), manifest(dir / newApp));
    EXPECT_EQ(entriesBesideTheBundle(), 0u);
}

TEST_F(SwapScript, AFailedCopyOrRenameKeepsTheRunningVersionAndStartsIt)
{
    // A swap in one step that the file system refuses falls back to two renames.
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] {
             writeTool(dir / "bin/cp", "mkdir -p -- \"$4/Contents\"; echo half > \"$4/Contents/Info.plist\"; exit 1");
         },
         "2.0\n"},
        {[&] { writeTool(helper, "exit 1"); }, "2.0\n"},
        {[&] { writeTool(helper, "exit 2"); }, "2.1.0\n"},
        {[&] { fs::remove(helper); }, "2.1.0\n"},
        {[&] {
             writeTool(helper, "exit 2");
             writeTool(dir / "bin/mv", "exit 1");
         },
         "2.0\n"},
    };
    for (const auto& [breakSomething, started] : cases) {
        SCOPED_TRACE(started);
        reset();
        breakSomething();
        const std::string old = manifest(dest);
        finish(startScript());
        EXPECT_EQ(startedVersion(), started);
        EXPECT_EQ(manifest(dest), started == "2.0\n" ? old : manifest(dir / newApp));
        EXPECT_EQ(entriesBesideTheBundle(), 0u);
    }
}

// Every command the script runs is killed with the script just before it starts; the bundle is
// whole, old or new, whenever that happens. The states within a command are those of its start
// (a copy beside the bundle) or of its end (a swap in one step).
TEST_F(SwapScript, KilledAtAnyStepLeavesAWholeBundle)
{
    const char* step = R"(n=$(($(cat "$STEPS") + 1)); echo $n > "$STEPS"
if [ "$n" = "$KILL_AT" ]; then kill -KILL $PPID; exit 1; fi
case $0 in */lumafold-exchange) exec "$EXCHANGE" "$@" ;; esac
exec "/bin/${0##*/}" "$@")";
    const test::ScopedEnvironmentVariable steps("STEPS", (dir / "steps").string());
    const test::ScopedEnvironmentVariable exchange("EXCHANGE", LUMAFOLD_EXCHANGE_PROGRAM);
    int killAt = 1;
    for (;; ++killAt) {
        reset();
        for (const auto& tool : {dir / "bin/rm", dir / "bin/cp", dir / "bin/mv", helper}) {
            writeTool(tool, step);
        }
        const std::string old = manifest(dest);
        test::writeFile(dir / "steps", "0");
        const test::ScopedEnvironmentVariable at("KILL_AT", std::to_string(killAt));
        finish(startScript());
        const auto now = manifest(dest);
        EXPECT_TRUE(now == old || now == manifest(dir / newApp)) << killAt;
        const auto ran = test::readFile(dir / "steps");
        if (std::stoi(std::string(ran.begin(), ran.end())) < killAt) {
            EXPECT_EQ(now, manifest(dir / newApp));
            EXPECT_EQ(startedVersion(), "2.1.0\n");
            break;
        }
    }
    EXPECT_GE(killAt, 4);
}

} // namespace
} // namespace lumafold
