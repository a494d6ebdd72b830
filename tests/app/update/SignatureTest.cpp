// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "support/TempDir.h"
#include "update/BundleSignature.h"
#include "update/SelfUpdater.h"

#include <gtest/gtest.h>

#include <functional>

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using Kind = UpdateError::Kind;

// Signed by the release tool, so that the tool and the verifier are shown to agree.
class Signature : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::makeBundle(app, "2.1.0");
        test::writeFile(dir / "key.pem", key);
        const std::string sign =
            LUMAFOLD_SIGN_BUNDLE_PROGRAM " '" + app.string() + "' '" + dir.path().string() + "/key.pem' >/dev/null";
        ASSERT_EQ(std::system(sign.c_str()), 0);
    }
    std::optional<Kind> verifyCopy(const std::function<void(const fs::path&)>& change, const std::string& signer)
    {
        const fs::path copy = dir / ("copy" + std::to_string(++copies));
        fs::copy(app, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        change(copy);
        return test::errorOf([&] { BundleSignature::verify(copy, BundleSignature::publicKeyOf(signer)); });
    }

    test::TempDir dir;
    fs::path app = dir / "Lumafold.app";
    std::string key = test::newPrivateKey();
    int copies = 0;
};

TEST_F(Signature, AnyChangeToTheBundleOrAnotherKeyIsABadSignature)
{
    const auto same = [](const fs::path&) {
    };
    EXPECT_EQ(verifyCopy(same, key), std::nullopt);
    EXPECT_EQ(verifyCopy(same, test::newPrivateKey()), Kind::badSignature);
    const std::function<void(const fs::path&)> changes[] = {
        [](const fs::path& b) { test::writeFile(b / "Contents/lib/libpages.so.1", "library 2.1.1"); },
        [](const fs::path& b) { test::writeFile(b / "Contents/lib/extra", ""); },
        [](const fs::path& b) { fs::create_directory(b / "Contents/lib/extra"); },
        [](const fs::path& b) { fs::remove(b / "Contents/lib/libpages.so.1"); },
        [](const fs::path& b) {
            fs::permissions(b / "Contents/bin/lumafold", fs::perms::owner_exec, fs::perm_options::remove);
        },
        [](const fs::path& b) {
            fs::remove(b / "Contents/lib/libpages.so");
            fs::create_symlink("../bin/lumafold", b / "Contents/lib/libpages.so");
        },
        [](const fs::path& b) { fs::remove_all(b / "Contents/_CodeSignature"); },
        [](const fs::path& b) { test::writeFile(b / "Contents/_CodeSignature/Signature", "short"); },
        [&](const fs::path& b) {
            // A manifest that lists an entry twice, signed by the right key.
            const std::string manifest = BundleSignature::manifestOf(b);
            test::writeFile(b / "Contents/_CodeSignature/Manifest",
                            manifest + manifest.substr(manifest.find('\n') + 1));
            const std::string sign = OPENSSL_EXECUTABLE " pkeyutl -sign -rawin -inkey '" + dir.path().string() +
                                     "/key.pem' -in '" + b.string() + "/Contents/_CodeSignature/Manifest' -out '" +
                                     b.string() + "/Contents/_CodeSignature/Signature'";
            ASSERT_EQ(std::system(sign.c_str()), 0);
        },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(verifyCopy(changes[i], key), Kind::badSignature);
    }
}

TEST(Identity, OnlyTheSameIdentifierAndExactlyTheAnnouncedVersion)
{
    test::TempDir dir;
    const std::tuple<std::string, std::string, std::optional<Kind>> cases[] = {
        {"app.marlo.Lumafold", "2.1.0", std::nullopt},
        {"app.marlo.Lumafold", "2.1", Kind::wrongApp},
        {"app.marlo.lumafold", "2.1.0", Kind::wrongApp},
    };
    for (const auto& [identifier, version, expected] : cases) {
        const fs::path app = dir / (identifier + version + ".app");
        test::makeBundle(app, version, identifier);
        EXPECT_EQ(test::errorOf([&] { SelfUpdater::verifyIdentity(app, "2.1.0", "app.marlo.Lumafold"); }), expected)
            << identifier << " " << version;
    }
    EXPECT_EQ(test::errorOf([&] { SelfUpdater::verifyIdentity(dir.path(), "2.1.0", "app.marlo.Lumafold"); }),
              Kind::wrongApp);
}

} // namespace
} // namespace lumafold
