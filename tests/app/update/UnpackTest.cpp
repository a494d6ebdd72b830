// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "lumafold/LumafoldError.h"
#include "support/TempDir.h"
#include "update/BundleSignature.h"
#include "update/Unpacker.h"
#include "update/UpdateError.h"

#include <gtest/gtest.h>

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using test::ZipEntry;

TEST(Unpack, ExtractsFilesFoldersAndLinksAsTheyWere)
{
    test::TempDir dir;
    test::makeBundle(dir / "Lumafold.app", "2.1.0");
    test::writeZip(dir / "a.zip", test::entriesOf(dir / "Lumafold.app"));
    unpackZip(dir / "a.zip", dir / "out", {}, {});
    EXPECT_EQ(BundleSignature::manifestOf(dir / "out" / "Lumafold.app"),
              BundleSignature::manifestOf(dir / "Lumafold.app"));
}

TEST(Unpack, RefusesEscapesAndArchivesBeyondItsLimitsAndWritesNothingOutside)
{
    test::TempDir dir;
    fs::create_directory(dir / "outside");
    const std::string outside = (dir / "outside").string();
    const std::vector<ZipEntry> elevenFiles(11, {ZipEntry::file, "f", "x"});
    const std::vector<std::vector<ZipEntry>> cases = {
        {{ZipEntry::file, outside + "/absolute", "x"}},
        {{ZipEntry::file, "../outside/dotdot", "x"}},
        {{ZipEntry::folder, "a"}, {ZipEntry::file, "a/../../outside/dotdot", "x"}},
        {{ZipEntry::symlink, "up", "../outside"}},
        {{ZipEntry::symlink, "abs", outside}},
        {{ZipEntry::symlink, "here", "."}, {ZipEntry::symlink, "escape", "here/../outside"}},
        {{ZipEntry::symlink, "sub", "."}, {ZipEntry::file, "sub/through", "x"}},
        {{ZipEntry::file, "big", std::string(1001, 'x')}},
        elevenFiles,
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        test::writeZip(dir / "a.zip", cases[i]);
        EXPECT_EQ(test::errorOf([&] {
                      unpackZip(dir / "a.zip", dir / ("out" + std::to_string(i)), {1000, 10}, {});
                  }),
                  UpdateError::Kind::unpack);
        EXPECT_TRUE(fs::is_empty(dir / "outside"));
    }
    test::writeFile(dir / "not.zip", "PK but not a zip");
    EXPECT_EQ(test::errorOf([&] { unpackZip(dir / "not.zip", dir / "garbage", {}, {}); }), UpdateError::Kind::unpack);
}

TEST(Unpack, StopsWhenAsked)
{
    test::TempDir dir;
    test::writeZip(dir / "a.zip", {{ZipEntry::file, "f", "x"}});
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(unpackZip(dir / "a.zip", dir / "out", {}, stop.get_token()), Cancelled);
}

} // namespace
} // namespace lumafold
