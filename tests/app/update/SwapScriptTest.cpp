// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;

// The script runs for real, on bundles whose names a shell would split, expand or take for an
// option, given relative to its working folder. The process it waits for has exited.
class SwapScript : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::makeBundle(dir / newApp, "2.1.0");
        test::writeFile(dir / "swap.sh", SelfUpdater::swapScript(test::exitedPid()));
    }
    // Runs the script on a fresh old bundle, to its end or its death, after `prepare`. Returns
    // which bundle is then in place ("broken" for neither) and what the script left beside it.
    std::pair<std::string, std::size_t> run(const std::function<void()>& prepare)
    {
        fs::remove_all(dest.parent_path());
        fs::remove_all(dir / "bin");
        test::makeBundle(dest, "2.0");
        prepare();
        const std::string old = BundleSignature::manifestOf(dest);
        ::waitpid(test::spawn({"/bin/sh", "-c", "cd \"$0\" && exec /bin/sh swap.sh \"$1\" \"$2\"", dir.path().c_str(),
                               newApp.c_str(), oldApp.c_str()}),
                  nullptr, 0);
        const std::string now = fs::exists(dest) ? BundleSignature::manifestOf(dest) : "";
        const auto beside = std::distance(fs::directory_iterator(dest.parent_path()), {});
        return {now == old ? "old" : now == BundleSignature::manifestOf(dir / newApp) ? "new" : "broken", beside - 1};
    }
    void writeTool(const fs::path& tool, const std::string& text)
    {
        fs::create_directories(tool.parent_path());
        fs::remove(tool);
        test::writeFile(tool, "#!/bin/sh\n" + text + "\n");
        fs::permissions(tool, fs::perms::owner_all);
    }

    const std::string newApp = "-new $(x) 'a\"\nb/Lumafold.app";
    const std::string oldApp = "-old $y/Lumafold.app";
    test::TempDir dir;
    fs::path dest = dir / oldApp;
    fs::path helper = dest / "Contents/bin/lumafold-exchange";
    test::ScopedEnvironmentVariable marker{"LUMAFOLD_TEST_MARKER", (dir / "marker").string()};
    test::ScopedEnvironmentVariable path{"PATH", (dir / "bin").string() + ":" + std::getenv("PATH")};
};

TEST_F(SwapScript, SwapsAndStartsTheNewVersionOrKeepsAndStartsTheOldOneWhenACopyOrRenameFails)
{
    // A file system that cannot swap in one step gets two renames.
    const std::tuple<std::function<void()>, std::string, std::string> cases[] = {
        {[&] { writeTool(dir / "bin/cp", "mkdir -- \"$4\"; echo half > \"$4/half\"; exit 1"); }, "old", "2.0\n"},
        {[&] { writeTool(helper, "exit 1"); }, "old", "2.0\n"},
        {[&] { writeTool(helper, "exit 2"); }, "new", "2.1.0\n"},
        {[&] { writeTool(helper, "exit 2"), writeTool(dir / "bin/mv", "exit 1"); }, "old", "2.0\n"},
        // The old bundle is already the backup when the new one fails to move in: it goes back.
        {[&] {
             writeTool(helper, "exit 2"), writeTool(dir / "bin/mv", R"([ "$2" = "${2%.new}" ] && exec /bin/mv "$@")");
         },
         "old", "2.0\n"},
    };
    for (const auto& [prepare, inPlace, started] : cases) {
        EXPECT_EQ(run(prepare), std::make_pair(inPlace, std::size_t{0})) << started;
        EXPECT_EQ(test::startedVersion(dir / "marker"), started);
    }
}

// Each command the script runs kills the script instead, one after the other. Within a command
// nothing else happens to the bundle: a copy goes beside it, and the swap is one step.
TEST_F(SwapScript, KilledBeforeAnyStepItLeavesAWholeBundle)
{
    const char* killingStep = R"(n=$(($(cat "$STEPS") + 1)); echo $n > "$STEPS"
if [ "$n" = "$KILL_AT" ]; then kill -KILL $PPID; exit 1; fi
case $0 in */lumafold-exchange) exec "$EXCHANGE" "$@" ;; esac
exec "/bin/${0##*/}" "$@")";
    const test::ScopedEnvironmentVariable steps("STEPS", (dir / "steps").string());
    const test::ScopedEnvironmentVariable exchange("EXCHANGE", LUMAFOLD_EXCHANGE_PROGRAM);
    const auto killingTools = [&] {
        for (const auto& tool : {dir / "bin/rm", dir / "bin/cp", dir / "bin/mv", helper}) {
            writeTool(tool, killingStep);
        }
        test::writeFile(dir / "steps", "0");
    };
    std::string inPlace;
    for (int killAt = 1; killAt <= 5; ++killAt) { // the script runs four commands: the last run ends
        const test::ScopedEnvironmentVariable at("KILL_AT", std::to_string(killAt));
        inPlace = run(killingTools).first;
        EXPECT_NE(inPlace, "broken") << killAt;
    }
    EXPECT_EQ(test::readFile(dir / "steps"), std::vector<unsigned char>({'4', '\n'}));
    EXPECT_EQ(inPlace, "new");
    EXPECT_EQ(test::startedVersion(dir / "marker"), "2.1.0\n");
}

} // namespace
} // namespace lumafold
