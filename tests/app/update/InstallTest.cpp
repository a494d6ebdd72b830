// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "lumafold/LumafoldError.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnvironment.h"
#include "update/SelfUpdater.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

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
        const std::string key = test::newPrivateKey(releases / "key.pem");
        signer = BundleSignature::publicKeyOf(key);
        const std::tuple<const char*, const char*, std::string, const char*> zips[] = {
            {"good", "2.1.0", key, ""},
            {"v2.1", "2.1", key, ""},
            {"nested", "2.1.0", key, "Release"},
            {"other-key", "2.1.0", test::newPrivateKey(releases / "other.pem"), ""}};
        for (const auto& [name, version, signingKey, top] : zips) {
            const fs::path app = releases / name / top / "Lumafold.app";
            test::makeBundle(app, version);
            BundleSignature::sign(app, signingKey);
            test::zipFolder(*top ? app.parent_path() : app, server->folder() / (name + std::string(".zip")));
        }
        test::writeFile(server->folder() / "garbage.zip", "not a zip");
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override { test::makeBundle(*options.bundle, "2.0"); }
    std::optional<Kind> install(const std::string& path)
    {
        return test::errorOf([&] { SelfUpdater::install({"2.1.0", server->https(path), ""}, client, {}, options); });
    }
    fs::path work() const { return dir / "tmp" / ("marlo-update-" + std::to_string(options.pid)); }

    static inline std::unique_ptr<test::LoopbackServer> server;
    static inline BundleSignature::PublicKey signer;
    test::TempDir dir;
    CurlHttpClient client{server->caFile()};
    InstallOptions options{dir / "Applications/Lumafold.app", signer, "app.marlo.Lumafold", dir / "tmp", ::getpid()};
};

TEST_F(Install, EachRefusedDownloadOrBundleEndsWithItsError)
{
    const std::pair<std::string, Kind> cases[] = {
        {"/file/404/good.zip", Kind::download},
        {"/file/204/good.zip", Kind::download},
        {"/redirect/302/" + server->http("/file/200/good.zip"), Kind::download},
        {"/file/200/garbage.zip", Kind::unpack},
        {"/file/200/nested.zip", Kind::notFound},
        {"/file/200/other-key.zip", Kind::badSignature},
        {"/file/200/v2.1.zip", Kind::wrongApp},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(install(path), expected) << path;
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

// The second installation starts over in a new private work folder, leaving a link planted at
// its name untouched, and its script swaps the bundle once the program has exited.
TEST_F(Install, ASuccessfulInstallationStartsTheNewVersionAfterTheProgramExits)
{
    const test::ScopedEnvironmentVariable marker("LUMAFOLD_TEST_MARKER", (dir / "marker").string());
    const std::string old = BundleSignature::manifestOf(*options.bundle);
    options.pid = test::spawn({"/bin/sleep", "60"});
    fs::create_directories(dir / "planted/kept");
    fs::create_directories(dir / "tmp");
    fs::create_directory_symlink(dir / "planted", work());
    EXPECT_EQ(install("/file/200/nested.zip"), Kind::notFound);
    EXPECT_EQ(install("/file/200/good.zip"), std::nullopt);
    struct stat status = {};
    EXPECT_TRUE(::lstat(work().c_str(), &status) == 0 && (status.st_mode & 07777) == 0700);
    EXPECT_TRUE(fs::exists(dir / "planted/kept"));
    EXPECT_EQ(std::distance(fs::directory_iterator(work() / "unpacked"), {}), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(dir / "marker"));
    EXPECT_EQ(BundleSignature::manifestOf(*options.bundle), old);
    ::kill(options.pid, SIGTERM);
    ::waitpid(options.pid, nullptr, 0);
    EXPECT_EQ(test::startedVersion(dir / "marker"), "2.1.0\n");
    EXPECT_EQ(BundleSignature::manifestOf(*options.bundle),
              BundleSignature::manifestOf(work() / "unpacked/Lumafold.app"));
}

} // namespace
} // namespace lumafold
