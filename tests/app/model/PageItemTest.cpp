// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/PageItem.h"
#include "app/model/PagesExportMode.h"

#include <gtest/gtest.h>

#include <functional>

namespace lumafold {
namespace {

TEST(PagesExportModeTest, RawValuesAreTheExactLabels)
{
    const struct
    {
        QString raw;
        std::optional<PagesExportMode> mode;
    } cases[] = {
        {"One PDF", PagesExportMode::combined},
        {"Selected pages", PagesExportMode::selected},
        {"Split into PDFs", PagesExportMode::split},
        {"selected pages", std::nullopt},
        {"One PDF ", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw.toStdString());
        EXPECT_EQ(pagesExportModeFromRawValue(c.raw), c.mode);
        if (c.mode) {
            EXPECT_EQ(rawValue(*c.mode), c.raw);
        }
    }
    EXPECT_EQ(allPagesExportModes(),
              (QList<PagesExportMode>{PagesExportMode::combined, PagesExportMode::selected, PagesExportMode::split}));
}

TEST(PageItemTest, EveryFieldTakesPartInEquality)
{
    const PageItem card{QUuid::createUuid(), PageDescriptor(PageContent::source("/docs/a.pdf", 2), 90),
                        QByteArray("jpeg"), "a.pdf", 3};
    const std::pair<const char*, std::function<void(PageItem&)>> changes[] = {
        {"id",
         [](PageItem& c) {
             c.id = QUuid::createUuid();
         }},
        {"file",
         [](PageItem& c) {
             c.descriptor.content = PageContent::source("/docs/b.pdf", 2);
         }},
        {"page",
         [](PageItem& c) {
             c.descriptor.content = PageContent::source("/docs/a.pdf", 1);
         }},
        {"blank",
         [](PageItem& c) {
             c.descriptor.content = PageContent::blank(PageSize::a4);
         }},
        {"rotation",
         [](PageItem& c) {
             c.descriptor.rotation = 180;
         }},
        {"picture",
         [](PageItem& c) {
             c.thumbnailData = QByteArray("jpeg2");
         }},
        {"no picture",
         [](PageItem& c) {
             c.thumbnailData = QByteArray();
         }},
        {"source name",
         [](PageItem& c) {
             c.sourceName = "b.pdf";
         }},
        {"source page",
         [](PageItem& c) {
             c.sourcePage = 4;
         }},
        {"no source page",
         [](PageItem& c) {
             c.sourcePage.reset();
         }},
    };
    for (const auto& [field, change] : changes) {
        SCOPED_TRACE(field);
        PageItem other = card;
        change(other);
        EXPECT_FALSE(other == card);
        EXPECT_FALSE(card == other);
    }
    const PageItem copy = card;
    EXPECT_EQ(copy, card);
    EXPECT_EQ(qHash(copy), qHash(card));
}

TEST(PageItemTest, MissingPictureEqualsOnlyMissingPicture)
{
    PageItem withEmpty;
    withEmpty.thumbnailData = QByteArray("");
    PageItem without = withEmpty;
    without.thumbnailData = QByteArray();
    EXPECT_FALSE(withEmpty == without);
    EXPECT_NE(qHash(withEmpty), qHash(without));
    PageItem alsoWithout = without;
    EXPECT_EQ(alsoWithout, without);
}

} // namespace
} // namespace lumafold
