// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"
#include "lumafold/LumafoldError.h"
#include "update/Unpacker.h"

#include <gtest/gtest.h>

namespace lumafold {
namespace {

namespace fs = std::filesystem;

// Archives that unpack well are shown by the installation tests: their bundles verify.
TEST(Unpack, RefusesEscapesAndArchivesBeyondItsLimitsWritesNothingOutsideAndStopsWhenAsked)
{
    test::TempDir dir;
    fs::create_directory(dir / "outside");
    const std::string outside = (dir / "outside").string();
    const std::vector<std::vector<test::ZipEntry>> cases = {
        {{AE_IFREG, outside + "/absolute"}},
        {{AE_IFREG, "../outside/dotdot"}},
        {{AE_IFDIR, "a"}, {AE_IFREG, "a/../../outside/dotdot"}},
        {{AE_IFLNK, "up", "../outside"}},
        {{AE_IFLNK, "abs", outside}},
        {{AE_IFLNK, "here", "."}, {AE_IFLNK, "escape", "here/../outside"}},
        {{AE_IFLNK, "out", "../outside"}, {AE_IFREG, "out/through"}},
        {{AE_IFLNK, "sub", "."}, {AE_IFREG, "sub/through"}},
        {{AE_IFREG, "big", std::string(1001, 'x')}},
        std::vector<test::ZipEntry>(11, {AE_IFREG, "f"}),
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        test::writeZip(dir / "a.zip", cases[i]);
        EXPECT_EQ(test::errorOf([&] {
                      unpackZip(dir / "a.zip", dir / std::to_string(i), {1000, 10}, {});
                  }),
                  UpdateError::Kind::unpack)
            << i;
        EXPECT_TRUE(fs::is_empty(dir / "outside"));
    }
    test::writeFile(dir / "not.zip", "PK but not a zip");
    EXPECT_EQ(test::errorOf([&] { unpackZip(dir / "not.zip", dir / "garbage", {}, {}); }), UpdateError::Kind::unpack);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(unpackZip(dir / "a.zip", dir / "stopped", {}, stop.get_token()), Cancelled);
}

} // namespace
} // namespace lumafold
