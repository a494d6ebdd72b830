// SPDX-License-Identifier: AGPL-3.0-or-later
#include "Version.h"
#include "support/Qpdf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace lumafold::test {
namespace {

namespace fs = std::filesystem;

TEST(VersionTest, ABundleReportsItsInfoPlistAndAnyOtherBuildItsOwnVersion)
{
    EXPECT_EQ(runProcess({LUMAFOLD_EXECUTABLE, "--version"}).output, std::string("Lumafold ") + buildVersion + "\n");

    TempDir root;
    const auto bin = root / "Lumafold.app/Contents/bin";
    fs::create_directories(bin);
    fs::copy_file(LUMAFOLD_EXECUTABLE, bin / "lumafold");
    fs::copy_file(LUMAFOLD_DESKTOP_EXECUTABLE, bin / "lumafold-desktop");
    // Only the top dictionary's own entry counts.
    writeFile(root / "Lumafold.app/Contents/Info.plist",
              R"(<?xml version="1.0"?><plist version="1.0"><dict><key>CFBundleIdentifier</key>)"
              R"(<string>app.marlo.Lumafold</string><key>Other</key><dict><key>CFBundleShortVersionString</key>)"
              R"(<string>9</string></dict><key>CFBundleShortVersionString</key>)"
              R"(<string>7.1.2</string></dict></plist>)");
    EXPECT_EQ(runProcess({bin / "lumafold", "--version"}).output, "Lumafold 7.1.2\n");
    EXPECT_EQ(runProcess({bin / "lumafold", "combine", "--version"}).output, "Lumafold 7.1.2\n");
}

} // namespace
} // namespace lumafold::test
