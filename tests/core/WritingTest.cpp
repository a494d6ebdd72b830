// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"
#include "lumafold/FileOps.h"

#include <cerrno>
#include <cstring>

using namespace lumafold;
using namespace lumafold::test;

namespace {

PagesResult twoPages(const TempDir& dir)
{
    return LumafoldEngine::assemble(LumafoldEngine::descriptors(writeWidthsPdf(dir / "src.pdf", {100, 200})), false);
}

std::string text(const std::filesystem::path& file)
{
    const auto bytes = readFile(file);
    return {bytes.begin(), bytes.end()};
}

} // namespace

// Both ways of writing give the same bytes, in place, with no side file left next to them.
TEST(Write, PutsAVerifiedFileInPlaceAndCreatesMissingFolders)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{.width = 300, .rotate = 90}, PageLayout{.width = 400}}, .title = "Both"};
    const auto src = writePdf(dir / "src.pdf", layout);
    const std::vector<PageDescriptor> pages = {sourcePage(src, 1), sourcePage(src, 0, 90), blankPage(PageSize::a4)};
    const auto result = LumafoldEngine::assemble(pages, false);
    const auto written = dir / "new" / "deeper" / "out.pdf";
    const auto direct = dir / "direct" / "out.pdf";
    EXPECT_EQ(LumafoldEngine::write(result, written), written);
    EXPECT_EQ(LumafoldEngine::assembleToFile(pages, false, direct), direct);
    for (const auto& file : {written, direct}) {
        EXPECT_EQ(readFile(file), result.data);
        EXPECT_TRUE(qpdf::checkPasses(file));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
    }
}

// Not even what appears between the check and the move.
TEST(Write, NeverReplacesWhatIsThereOrAppearsMeanwhile)
{
    TempDir dir;
    const auto result = twoPages(dir);
    writeFile(dir / "taken.pdf", std::string("keep me"));
    std::filesystem::create_directory(dir / "folder.pdf");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.pdf");
    for (const auto& name : {"taken.pdf", "folder.pdf", "dangling.pdf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(engineError([&] { LumafoldEngine::write(result, dir / name); }),
                  LumafoldError::destinationExists(dir / name));
    }
    EXPECT_EQ(text(dir / "taken.pdf"), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.pdf"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dangling.pdf", "folder.pdf", "src.pdf", "taken.pdf"}));
    TempDir race;
    for (auto move : {&FileOps::moveNoReplace, &FileOps::linkThenUnlink}) {
        writeFile(race / "side", std::string("new"));
        writeFile(race / "final", std::string("raced in"));
        EXPECT_FALSE(move(race / "side", race / "final"));
        EXPECT_EQ(text(race / "final"), "raced in");
        std::filesystem::remove(race / "final");
        EXPECT_TRUE(move(race / "side", race / "final"));
        EXPECT_EQ(race.entries(), std::vector<std::string>{"final"});
        EXPECT_EQ(text(race / "final"), "new");
        std::filesystem::remove(race / "final");
    }
}

// Nothing is left of a failed write: no side file, no folder made for it.
TEST(Write, FailuresSayWhyAndLeaveNothingBehind)
{
    TempDir dir;
    auto result = twoPages(dir);
    // /proc takes no new files, even from root.
    EXPECT_EQ(engineError([&] { LumafoldEngine::write(result, "/proc/lumafold-test.pdf"); }),
              LumafoldError::cannotWrite(std::strerror(ENOENT)));
    writeFile(dir / "blocker", std::string("a file where a folder must be created"));
    EXPECT_THROW(LumafoldEngine::write(result, dir / "blocker" / "sub" / "out.pdf"), FileSystemError);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(LumafoldEngine::assembleToFile(LumafoldEngine::descriptors(dir / "src.pdf"), false,
                                                dir / "new" / "out.pdf", stop.get_token()),
                 Cancelled);
    result.pageCount = 3; // a claimed page count the bytes do not hold
    EXPECT_EQ(engineError([&] { LumafoldEngine::write(result, dir / "new" / "short.pdf"); }),
              LumafoldError::verificationFailed("the written file does not contain every page"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"blocker", "src.pdf"}));
}

// Numbers have as many digits as the last one, and at least two. A split that fails removes the
// files it wrote.
TEST(Split, CutsPagesIntoNumberedFilesAllOrNothing)
{
    EXPECT_EQ(LumafoldEngine::splitFileName("Report", 1, 100), "Report-001.pdf");
    TempDir dir;
    const auto src = writeWidthsPdf(dir / "src.pdf", {100, 110, 120, 130, 140, 150, 160, 170, 180, 190});
    const auto pages = LumafoldEngine::descriptors(src);
    const auto out = dir / "out";
    const auto files = LumafoldEngine::split(pages, 4, out, "Name", false);
    ASSERT_EQ(files,
              (std::vector<std::filesystem::path>{out / "Name-01.pdf", out / "Name-02.pdf", out / "Name-03.pdf"}));
    EXPECT_EQ(pageWidths(files[0]), (std::vector<double>{100, 110, 120, 130}));
    EXPECT_EQ(pageWidths(files[2]), (std::vector<double>{180, 190}));
    const auto singles = LumafoldEngine::split(pages, 0, dir / "singles", "Name", false); // at least one a file
    ASSERT_EQ(singles.size(), 10u);
    EXPECT_EQ(pageWidths(singles.back()), std::vector<double>{190});

    TempDir taken;
    writeFile(taken / "Name-03.pdf", std::string("mine"));
    EXPECT_EQ(engineError([&] { LumafoldEngine::split(pages, 1, taken.path(), "Name", false); }),
              LumafoldError::destinationExists(taken / "Name-03.pdf"));
    // The first file is written before the second fails.
    EXPECT_EQ(engineError([&] {
                  LumafoldEngine::split({pages[0], sourcePage(src, 99)}, 1, taken.path(), "Name", false);
              }),
              LumafoldError::missingPage(src, 99));
    EXPECT_EQ(engineError([&] { LumafoldEngine::split({}, 1, taken.path(), "Name", false); }),
              LumafoldError::noPages());
    EXPECT_EQ(taken.entries(), std::vector<std::string>{"Name-03.pdf"});
}
