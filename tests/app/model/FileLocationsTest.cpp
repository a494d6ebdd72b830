// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/FileLocations.h"
#include "lumafold/LumafoldError.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

// In a folder, hidden entries are skipped and links to folders are not followed, so loops end;
// files named directly are taken as they are, hidden or missing. Repeats of a standardized path
// are dropped.
TEST(CollectPdfFilesTest, FoldersGiveThePdfsInsideInAnyCaseAndNamedFilesAreTakenOnceEach)
{
    TempDir dir;
    fs::create_directories(dir / "top" / "sub" / "deeper");
    fs::create_directories(dir / "top" / ".hidden-folder");
    fs::create_directories(dir / "top" / "Folder.pdf");
    for (const char* name : {"top/x.PDF", "top/sub/y.pdf", "top/sub/deeper/z.pDf", "top/.hidden.pdf",
                             "top/.hidden-folder/w.pdf", "top/notes.txt", "top/pdf", "loose.pdf"}) {
        writeFile(dir / name, "content");
    }
    fs::create_directory_symlink(dir / "top", dir / "top" / "sub" / "up");
    fs::create_symlink(dir / "top" / "self", dir / "top" / "self");
    fs::create_symlink(dir / "loose.pdf", dir / "top" / "link.pdf");
    const std::vector<fs::path> found = FileLocations::collectPdfFiles({dir / "top"});
    EXPECT_EQ(std::set<fs::path>(found.begin(), found.end()),
              (std::set<fs::path>{dir / "top/Folder.pdf", dir / "top/link.pdf", dir / "top/sub/deeper/z.pDf",
                                  dir / "top/sub/y.pdf", dir / "top/x.PDF"}));

    fs::create_directory_symlink(dir / "top/sub/deeper", dir / "link");
    EXPECT_EQ(
        FileLocations::collectPdfFiles({dir / "top/.hidden.pdf", dir / "top/notes.txt", dir / "missing.pdf",
                                        dir / "loose.pdf", dir / "top/../loose.pdf", dir / "./loose.pdf", dir / "link",
                                        dir / "link/z.pDf"}),
        (std::vector<fs::path>{dir / "top/.hidden.pdf", dir / "missing.pdf", dir / "loose.pdf", dir / "link/z.pDf"}))
        << "a link named directly is followed";
}

// Root reads every folder, so the walk runs in a child process as "nobody", on a tree in /tmp
// (the temporary folder of the test run may be out of nobody's reach).
TEST(CollectPdfFilesAsNobodyTest, AnUnreadableFolderGivesNothingAndTheRestGoesOn)
{
    std::string pattern = "/tmp/lumafold-walk-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path top = pattern;
    fs::create_directories(top / "sub");
    writeFile(top / "x.pdf", "content");
    writeFile(top / "sub" / "y.pdf", "content");
    ::chmod(top.c_str(), 0755);
    ::chmod((top / "sub").c_str(), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        const auto found = FileLocations::collectPdfFiles({top, top / "sub"});
        ::_exit(found == std::vector<fs::path>{top / "x.pdf"} ? 0 : 1);
    }
    int status = 0;
    const bool waited = ::waitpid(child, &status, 0) == child;
    ::chmod((top / "sub").c_str(), 0755);
    fs::remove_all(top);
    EXPECT_TRUE(waited && WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(FileLocationsTest, PathsSurviveTheTripThroughUrls)
{
    const fs::path path = "/tmp/a b#c%20d?caf\xC3\xA9 [1].pdf";
    EXPECT_EQ(FileLocations::toPath(FileLocations::toUrl(path)), path);
}

// A dangling link takes its name too; ".pdf" is added to, not put in place of, a dotted name.
TEST(FileLocationsTest, ANameTakenBetweenChoosingAndWritingMovesOnToTheNextFreeOne)
{
    TempDir folder;
    fs::create_symlink(folder / "gone", folder / "scan.final.pdf");
    std::vector<fs::path> offered;
    const fs::path written = FileLocations::writeUnderFreeName(folder.path(), "scan.final", [&](const fs::path& name) {
        offered.push_back(name);
        if (offered.size() == 1) {
            writeFile(name, "another program was quicker");
            throw LumafoldError::destinationExists(name);
        }
        writeFile(name, "ours");
        return name;
    });
    EXPECT_EQ(offered, (std::vector<fs::path>{folder / "scan.final 2.pdf", folder / "scan.final 3.pdf"}));
    EXPECT_EQ(written, folder / "scan.final 3.pdf");
}

} // namespace
} // namespace lumafold::test
