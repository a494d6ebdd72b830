// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/Qpdf.h"

#include <QImage>
#include <QSignalSpy>

#include <algorithm>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

using AddingTest = ModelTest;

TEST_F(AddingTest, CardsArriveTogetherWithPicturesNamesAndOneUndoStep)
{
    writeWidthsPdf(dir / "a.pdf", 2, 100);
    writeWidthsPdf(dir / "b.pdf", 1, 300);
    addAndWait(fileUrls({dir / "a.pdf", dir / "b.pdf"}));

    const PageList& cards = model().pages();
    ASSERT_EQ(cards.size(), 3);
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 300}));
    const std::pair<QString, qint64> sources[] = {{"a.pdf", 1}, {"a.pdf", 2}, {"b.pdf", 1}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cards[i].sourceName, sources[i].first);
        EXPECT_EQ(cards[i].sourcePage, sources[i].second);
        const QImage picture = QImage::fromData(cards[i].thumbnailData, "JPEG");
        EXPECT_EQ(std::max(picture.width(), picture.height()), 360);
    }
    EXPECT_EQ(model().selection(), QSet<QUuid>{cards[0].id});
    EXPECT_EQ(model().outputName(), "a-pages");
    EXPECT_FALSE(model().errorMessage());
    EXPECT_TRUE(model().isRenderingPreview());

    ASSERT_EQ(model().undoStack().size(), 1);
    model().undo();
    EXPECT_TRUE(model().pages().isEmpty());
    EXPECT_EQ(model().outputName(), "a-pages") << "undo restores pages only";
    addAndWait(fileUrls({dir / "b.pdf"}));
    EXPECT_EQ(model().outputName(), "a-pages") << "only the initial name is replaced";
}

TEST_F(AddingTest, AFileTwiceInOneChoiceCountsOnceButTwoAddsAddItTwiceKeepingTheSelection)
{
    writeWidthsPdf(dir / "a.pdf", 2);
    dialogs.fileAnswer = {fileUrl(dir / "a.pdf"),
                          QUrl::fromLocalFile(QString::fromStdString((dir / "./a.pdf").string()))};
    model().choosePDFs();
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    EXPECT_TRUE(dialogs.fileQuestions[0].allowFolders && dialogs.fileQuestions[0].allowMultiple);
    EXPECT_EQ(dialogs.fileQuestions[0].fileExtensions, QStringList{"pdf"});
    waitWhile(&AppModel::isLoading);
    EXPECT_EQ(model().pages().size(), 2);

    select({1});
    addAndWait(fileUrls({dir / "a.pdf"}));
    ASSERT_EQ(model().pages().size(), 4);
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(1)});
    QSet<QUuid> ids;
    for (const PageItem& card : model().pages()) {
        ids.insert(card.id);
    }
    EXPECT_EQ(ids.size(), 4);
}

// What a folder gives is the file walk's business (FileLocationsTest); here, that it is used.
TEST_F(AddingTest, AFolderGivesItsPdfsAndNamesTheOutput)
{
    fs::create_directories(dir / "Scans" / "sub");
    writeWidthsPdf(dir / "Scans" / "x.PDF", 1, 100);
    writeWidthsPdf(dir / "Scans" / "sub" / "y.pdf", 1, 200);
    fs::create_directory_symlink(dir / "Scans", dir / "Scans" / "sub" / "back-up");
    addAndWait(fileUrls({dir / "Scans" / ""})); // a trailing slash takes no part in the name
    std::vector<double> widths = cardWidths(model());
    std::sort(widths.begin(), widths.end());
    EXPECT_EQ(widths, (std::vector<double>{100, 200}));
    EXPECT_EQ(model().outputName(), "Scans-pages");
}

TEST_F(AddingTest, UnreadableFilesAreSkippedSilently)
{
    writeWidthsPdf(dir / "good.pdf", 1, 100);
    writeFile(dir / "scan.final.pdf", "plain text, no PDF");
    writeFile(dir / "empty.pdf", "");
    qpdf::encrypt(dir / "good.pdf", dir / "locked.pdf", "user", "owner");
    // Reading these would block or never end; they must be passed over.
    ASSERT_EQ(::mkfifo((dir / "pipe.pdf").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", dir / "zero.pdf");

    addAndWait(fileUrls({dir / "scan.final.pdf", dir / "pipe.pdf", dir / "zero.pdf", dir / "locked.pdf",
                         dir / "missing.pdf", dir / "empty.pdf", dir / "good.pdf"}));
    EXPECT_EQ(cardWidths(model()), std::vector<double>{100});
    EXPECT_FALSE(model().errorMessage());
    EXPECT_EQ(model().outputName(), "scan.final-pages") << "the first location names the output, read or not";
}

TEST_F(AddingTest, NothingReadableGivesOneMessageAndChangesNothing)
{
    fs::create_directories(dir / "no-pdfs");
    writeFile(dir / "no-pdfs" / "notes.txt", "text");
    writeWidthsPdf(dir / "good.pdf", 1);
    qpdf::encrypt(dir / "good.pdf", dir / "locked.pdf", "user", "owner");
    for (const QList<QUrl>& attempt : {fileUrls({dir / "no-pdfs"}), fileUrls({dir / "locked.pdf"}),
                                       fileUrls({dir / "nothing-here.pdf", dir / "notes.txt"})}) {
        SCOPED_TRACE(attempt.first().toString().toStdString());
        m_model.reset();
        QSignalSpy pagesChanged(&model(), &AppModel::pagesChanged);
        addAndWait(attempt);
        EXPECT_EQ(model().errorMessage(), "The selected files could not be read as unlocked PDFs.");
        EXPECT_EQ(pagesChanged.count(), 0);
        EXPECT_TRUE(model().undoStack().isEmpty() && model().selection().isEmpty());
        EXPECT_EQ(model().outputName(), "Combined-pages");
        EXPECT_FALSE(model().isRenderingPreview());
    }
}

} // namespace
} // namespace lumafold::test
