// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "lumafold/LumafoldError.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "update/SelfUpdater.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using Kind = UpdateError::Kind;

// Releases served over HTTPS on loopback, installed over a bundle of version 2.0.
class Install : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<test::LoopbackServer>();
        const test::TempDir releases;
        const std::string key = test::newPrivateKey();
        release(releases / "Lumafold.app", "2.1.0", key, "good.zip");
        release(releases / "Lumafold.app", "2.1", key, "v2.1.zip");
        release(releases / "Lumafold.app", "2.1.0", test::newPrivateKey(), "other-key.zip");
        release(releases / "Release" / "Lumafold.app", "2.1.0", key, "nested.zip", releases / "Release");
        test::writeFile(server->folder() / "garbage.zip", "not a zip");
        signer = BundleSignature::publicKeyOf(key);
    }
    static void release(const fs::path& app, const std::string& version, const std::string& key, const char* name,
                        const fs::path& top = {})
    {
        fs::remove_all(app);
        test::makeBundle(app, version);
        BundleSignature::sign(app, key);
        test::writeZip(server->folder() / name, test::entriesOf(top.empty() ? app : top));
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override { test::makeBundle(options.bundle.value(), "2.0"); }
    std::optional<Kind> install(const std::string& path, const std::string& version = "2.1.0")
    {
        return test::errorOf([&] { SelfUpdater::install({version, server->https(path), ""}, client, {}, options); });
    }
    fs::path work() const { return dir / "tmp" / ("marlo-update-" + std::to_string(options.pid)); }

    static inline std::unique_ptr<test::LoopbackServer> server;
    static inline BundleSignature::PublicKey signer;
    test::TempDir dir;
    CurlHttpClient client{server->caFile()};
    InstallOptions options{dir / "Applications" / "Lumafold.app", signer, "app.marlo.Lumafold", dir / "tmp",
                           ::getpid()};
};

TEST_F(Install, EachRefusedDownloadOrBundleEndsWithItsError)
{
    const std::tuple<std::string, std::string, std::optional<Kind>> cases[] = {
        {"/file/404/good.zip", "2.1.0", Kind::download},
        {"/file/204/good.zip", "2.1.0", Kind::download},
        {"/redirect/302/" + server->http("/file/200/good.zip"), "2.1.0", Kind::download},
        {"/file/200/garbage.zip", "2.1.0", Kind::unpack},
        {"/file/200/nested.zip", "2.1.0", Kind::notFound},
        {"/file/200/other-key.zip", "2.1.0", Kind::badSignature},
        {"/file/200/v2.1.zip", "2.1.0", Kind::wrongApp},
    };
    for (const auto& [path, version, expected] : cases) {
        EXPECT_EQ(install(path, version), expected) << path;
        EXPECT_TRUE(expected != Kind::download || fs::is_empty(work()));
    }
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(
        SelfUpdater::install({"2.1.0", server->https("/file/200/good.zip"), ""}, client, stop.get_token(), options),
        Cancelled);
}

TEST_F(Install, AnUnreplaceableBundleIsRefusedBeforeAnyDownload)
{
    for (const fs::path& bundle : {dir.path(), fs::path("/usr/lib/lumafold/Lumafold.app")}) {
        options.bundle = bundle;
        EXPECT_EQ(install("/file/200/good.zip"), Kind::readOnlyLocation) << bundle;
        EXPECT_FALSE(fs::exists(work()));
    }
}

// The second installation starts over in a new, private work folder (the first leaves a link
// planted at its name untouched), and its script swaps the bundle once the program has exited.
TEST_F(Install, ASuccessfulInstallationStartsTheNewVersionAfterTheProgramExits)
{
    const test::ScopedEnvironmentVariable marker("LUMAFOLD_TEST_MARKER", (dir / "marker").string());
    const char* sleep[] = {"sleep", "60", nullptr};
    ASSERT_EQ(::posix_spawn(&options.pid, "/bin/sleep", nullptr, nullptr, const_cast<char**>(sleep), environ), 0);
    fs::create_directories(dir / "planted" / "kept");
    fs::create_directories(dir / "tmp");
    fs::create_directory_symlink(dir / "planted", work());
    EXPECT_EQ(install("/file/200/nested.zip"), Kind::notFound);
    EXPECT_EQ(install("/file/200/good.zip"), std::nullopt);
    EXPECT_TRUE(fs::exists(dir / "planted" / "kept"));
    struct stat work = {};
    ASSERT_EQ(::lstat(this->work().c_str(), &work), 0);
    EXPECT_EQ(work.st_mode & 07777, 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(this->work() / "unpacked"), {}), 1);
    EXPECT_TRUE(fs::exists(this->work() / "unpacked" / "Lumafold.app"));
    ::kill(options.pid, SIGTERM);
    ::waitpid(options.pid, nullptr, 0);
    for (int i = 0; i < 500 && !fs::exists(dir / "marker"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto started = test::readFile(dir / "marker");
    EXPECT_EQ(std::string(started.begin(), started.end()), "2.1.0\n");
}

} // namespace
} // namespace lumafold
