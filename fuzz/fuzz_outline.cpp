// SPDX-License-Identifier: AGPL-3.0-or-later
// Reads its input as the recipe of a PDF whose bookmarks point anywhere, loop, share children and
// carry odd titles, views and actions, and assembles a selection of its pages (some twice, some
// left out). Any recipe must end in a result or a LumafoldError, never a crash or a hang.
#include "lumafold/LumafoldEngine.h"
#include "support/PdfFactory.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace lumafold;
using namespace lumafold::test;

namespace {

class Recipe
{
public:
    Recipe(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    // The next byte, 0 once the input is used up.
    std::uint8_t next() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    int below(int limit) { return limit > 0 ? next() % limit : 0; }
    template <typename T, std::size_t N> const T& pick(const T (&choices)[N]) { return choices[below(N)]; }
    std::string bytes(int most)
    {
        std::string text;
        for (int n = below(most + 1); n > 0; --n) {
            text += static_cast<char>(next());
        }
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

std::optional<LinkLayout> target(Recipe& recipe, int pages)
{
    static const char* const views[] = {"/Fit", "/XYZ 10 20 0",     "/FitH 700", "/XYZ null null null", "/FitR 1 2 3 4",
                                        "",     "/XYZ (x) [1] <<>>"};
    const int kind = recipe.below(5);
    if (kind == 0) {
        return std::nullopt;
    }
    return LinkLayout{
        .kind = static_cast<LinkLayout::Kind>(kind - 1), .targetPage = recipe.below(pages), .view = recipe.pick(views)};
}

PdfLayout outlinedPdf(Recipe& recipe)
{
    static const char* const extras[] = {"",
                                         "/C [1 0 0] /F 3",
                                         "/C [1 0] /F (x)",
                                         "/A << /S /Launch /F (x.sh) >>",
                                         "/A << /S /Named /N /NextPage /Next << /S /URI /URI (x) >> >>",
                                         "/A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>",
                                         "/A << /S /GoTo >>",
                                         "/Dest (nowhere)",
                                         "/Title 1 0 R /C 2 0 R",
                                         "/SE 3 0 R /Dest [1 0 R /Fit]",
                                         "/First 4 0 R /Next 1 0 R"};
    PdfLayout layout{.pages = std::vector(1 + static_cast<std::size_t>(recipe.below(6)), PageLayout{})};
    const int pages = static_cast<int>(layout.pages.size());
    const int items = recipe.below(40);
    for (int i = 0; i < items; ++i) {
        OutlineItem item{.title = recipe.bytes(6), .target = target(recipe, pages)};
        item.count = static_cast<std::int8_t>(recipe.next());
        item.extra = recipe.pick(extras);
        for (int k = recipe.below(4); k > 0; --k) {
            item.kids.push_back(recipe.below(items));
        }
        layout.outline.push_back(std::move(item));
    }
    for (int k = items > 0 ? 1 + recipe.below(3) : 0; k > 0; --k) {
        layout.outlineTop.push_back(recipe.below(items));
    }
    return layout;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Recipe recipe(data, size);
    const auto layout = outlinedPdf(recipe);
    const auto pdf = makePdf(layout);
    const int fd = memfd_create("outline.pdf", MFD_CLOEXEC);
    if (fd < 0 || write(fd, pdf.data(), pdf.size()) != static_cast<ssize_t>(pdf.size())) {
        if (fd >= 0) {
            close(fd);
        }
        return 0;
    }
    const std::filesystem::path path = "/proc/self/fd/" + std::to_string(fd);
    std::vector<PageDescriptor> selection;
    for (int n = 1 + recipe.below(8); n > 0; --n) {
        selection.emplace_back(PageContent::source(path, recipe.below(static_cast<int>(layout.pages.size()))), 0);
    }
    try {
        LumafoldEngine::assemble(selection, (recipe.next() & 1) != 0);
    } catch (const LumafoldError&) {
    }
    close(fd);
    return 0;
}
