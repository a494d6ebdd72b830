// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"

#include <signal.h>

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using Kind = UpdateError::Kind;

// Archives that unpack well are shown by the installations: their bundles verify.
TEST(Unpack, RefusesEscapesAndArchivesBeyondItsLimitsWritesNothingOutsideAndStopsWhenAsked)
{
    test::TempDir dir;
    fs::create_directory(dir / "outside");
    const std::string outside = (dir / "outside").string();
    const std::vector<std::vector<test::ZipEntry>> cases = {
        {{AE_IFREG, outside + "/absolute", ""}},
        {{AE_IFREG, "../outside/dotdot", ""}},
        {{AE_IFLNK, "abs", outside}},
        {{AE_IFLNK, "here", "."}, {AE_IFLNK, "escape", "here/../outside"}},
        {{AE_IFLNK, "out", "../outside"}, {AE_IFREG, "out/through", ""}},
        {{AE_IFREG, "big", std::string(1001, 'x')}},
        std::vector<test::ZipEntry>(11, {AE_IFREG, "f", ""}),
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        test::writeZip(dir / "a.zip", cases[i]);
        EXPECT_EQ(test::errorOf([&] {
                      unpackZip(dir / "a.zip", dir / std::to_string(i), {1000, 10}, {});
                  }),
                  Kind::unpack)
            << i;
        EXPECT_TRUE(fs::is_empty(dir / "outside"));
    }
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(unpackZip(dir / "a.zip", dir / "stopped", {}, stop.get_token()), Cancelled);
}

// Each case but the first changes a copy of a signed bundle; another key is shown by the installations.
TEST(Signature, AnyChangeToTheBundleIsABadSignature)
{
    test::TempDir dir;
    const std::string key = test::newPrivateKey(dir / "key.pem");
    test::makeBundle(dir / "app", "2.1.0");
    BundleSignature::sign(dir / "app", key);
    const std::function<void(const fs::path&)> changes[] = {
        [](const fs::path&) {},
        [](const fs::path& b) { test::writeFile(b / "Contents/bin/lumafold", "changed"); },
        [](const fs::path& b) { test::writeFile(b / "Contents/added", ""); },
        [](const fs::path& b) { fs::remove(b / "Contents/Info.plist"); },
        [](const fs::path& b) { fs::permissions(b / "Contents/bin/lumafold", fs::perms::owner_read); },
        [](const fs::path& b) {
            fs::remove(b / "Contents/lumafold"), fs::create_symlink("bin", b / "Contents/lumafold");
        },
        [](const fs::path& b) { fs::remove_all(b / "Contents/_CodeSignature"); },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        const fs::path copy = dir / std::to_string(i);
        fs::copy(dir / "app", copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        changes[i](copy);
        EXPECT_EQ(test::errorOf([&] { BundleSignature::verify(copy, BundleSignature::publicKeyOf(key)); }),
                  i == 0 ? std::nullopt : std::optional(Kind::badSignature))
            << i;
    }
}

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
        const std::tuple<const char*, const char*, const char*, std::string, const char*> zips[] = {
            {"good", "2.1.0", "app.marlo.Lumafold", key, ""},
            {"v2.1", "2.1", "app.marlo.Lumafold", key, ""},
            {"other-app", "2.1.0", "app.marlo.lumafold", key, ""},
            {"nested", "2.1.0", "app.marlo.Lumafold", key, "Release"},
            {"other-key", "2.1.0", "app.marlo.Lumafold", test::newPrivateKey(releases / "other.pem"), ""}};
        for (const auto& [name, version, identifier, signingKey, top] : zips) {
            const fs::path app = releases / name / top / "Lumafold.app";
            test::makeBundle(app, version, identifier);
            BundleSignature::sign(app, signingKey);
            test::zipFolder(*top ? app.parent_path() : app, server->folder() / (name + std::string(".zip")));
        }
        test::writeFile(server->folder() / "garbage.zip", "not a zip");
    }

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
    InstallOptions options{dir / "Applications/Lumafold.app", signer, "app.marlo.Lumafold", dir / "tmp",
                           test::exitedPid()};
};

TEST_F(Install, EachRefusedLocationDownloadOrBundleEndsWithItsError)
{
    options.bundle = dir.path(); // no bundle: refused before any download
    EXPECT_EQ(install("/file/200/good.zip"), Kind::readOnlyLocation);
    EXPECT_FALSE(fs::exists(work()));
    options.bundle = dir / "Applications/Lumafold.app";
    const std::pair<std::string, Kind> cases[] = {
        {"/file/204/good.zip", Kind::download},   {"/file/200/garbage.zip", Kind::unpack},
        {"/file/200/nested.zip", Kind::notFound}, {"/file/200/other-key.zip", Kind::badSignature},
        {"/file/200/v2.1.zip", Kind::wrongApp},   {"/file/200/other-app.zip", Kind::wrongApp},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(install(path), expected) << path;
        EXPECT_TRUE(expected != Kind::download || fs::is_empty(work()));
    }
}

// The installation works in a new private folder, leaving a link planted at its name untouched,
// and its script swaps the bundle only once the program has exited.
TEST_F(Install, ASuccessfulInstallationStartsTheNewVersionAfterTheProgramExits)
{
    const test::ScopedEnvironmentVariable marker("LUMAFOLD_TEST_MARKER", (dir / "marker").string());
    options.pid = test::spawn({"/bin/sleep", "60"});
    fs::create_directories(dir / "planted/kept");
    fs::create_directories(dir / "tmp");
    fs::create_directory_symlink(dir / "planted", work());
    EXPECT_EQ(install("/file/200/good.zip"), std::nullopt);
    EXPECT_EQ(fs::symlink_status(work()).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(fs::exists(dir / "planted/kept"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(dir / "marker"));
    ::kill(options.pid, SIGTERM);
    ::waitpid(options.pid, nullptr, 0);
    EXPECT_EQ(test::startedVersion(dir / "marker"), "2.1.0\n");
}

} // namespace
} // namespace lumafold
