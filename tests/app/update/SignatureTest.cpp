// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "update/BundleSignature.h"
#include "update/SelfUpdater.h"

#include <gtest/gtest.h>

#include <functional>

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using Kind = UpdateError::Kind;

// Each case changes a copy of a signed bundle.
TEST(Signature, AnyChangeToTheBundleOrAnotherKeyIsABadSignature)
{
    test::TempDir dir;
    const std::string key = test::newPrivateKey(dir / "key.pem");
    test::makeBundle(dir / "app", "2.1.0");
    BundleSignature::sign(dir / "app", key);
    const std::pair<std::function<void(const fs::path&)>, std::optional<Kind>> cases[] = {
        {[](const fs::path&) {}, std::nullopt},
        {[](const fs::path& b) { test::writeFile(b / "Contents/bin/lumafold", "changed"); }, Kind::badSignature},
        {[](const fs::path& b) { test::writeFile(b / "Contents/added", ""); }, Kind::badSignature},
        {[](const fs::path& b) { fs::create_directory(b / "Contents/added"); }, Kind::badSignature},
        {[](const fs::path& b) { fs::remove(b / "Contents/Info.plist"); }, Kind::badSignature},
        {[](const fs::path& b) { fs::permissions(b / "Contents/bin/lumafold", fs::perms::owner_read); },
         Kind::badSignature},
        {[](const fs::path& b) {
             fs::remove(b / "Contents/lumafold"), fs::create_symlink("bin", b / "Contents/lumafold");
         },
         Kind::badSignature},
        {[](const fs::path& b) { fs::remove_all(b / "Contents/_CodeSignature"); }, Kind::badSignature},
        {[](const fs::path& b) { test::writeFile(b / "Contents/_CodeSignature/Signature", "short"); },
         Kind::badSignature},
        {[&](const fs::path& b) {
             const std::string manifest = BundleSignature::manifestOf(b);
             test::writeFile(b / "Contents/_CodeSignature/Manifest",
                             manifest + manifest.substr(manifest.find('\n') + 1));
             std::system((OPENSSL_EXECUTABLE " pkeyutl -sign -rawin -inkey " + (dir / "key.pem").string() + " -in " +
                          (b / "Contents/_CodeSignature/Manifest").string() + " -out " +
                          (b / "Contents/_CodeSignature/Signature").string())
                             .c_str());
         },
         Kind::badSignature},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const fs::path copy = dir / std::to_string(i);
        fs::copy(dir / "app", copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        cases[i].first(copy);
        EXPECT_EQ(test::errorOf([&] { BundleSignature::verify(copy, BundleSignature::publicKeyOf(key)); }),
                  cases[i].second)
            << i;
    }
    const std::string otherKey = test::newPrivateKey(dir / "other.pem");
    EXPECT_EQ(test::errorOf([&] { BundleSignature::verify(dir / "app", BundleSignature::publicKeyOf(otherKey)); }),
              Kind::badSignature);
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
        test::makeBundle(dir / (identifier + version), version, identifier);
        EXPECT_EQ(test::errorOf([&] {
                      SelfUpdater::verifyIdentity(dir / (identifier + version), "2.1.0", "app.marlo.Lumafold");
                  }),
                  expected)
            << identifier << " " << version;
    }
    EXPECT_EQ(test::errorOf([&] { SelfUpdater::verifyIdentity(dir.path(), "2.1.0", "app.marlo.Lumafold"); }),
              Kind::wrongApp);
}

} // namespace
} // namespace lumafold
