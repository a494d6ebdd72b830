// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/PdfFactory.h"
#include "tests/support/Qpdf.h"

#include <QImage>
#include <QSignalSpy>
#include <QThreadPool>

#include <algorithm>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

const QString nothingReadable = "The selected files could not be read as unlocked PDFs.";

using AddingTest = ModelTest;

std::vector<double> sorted(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

TEST_F(AddingTest, CardsArriveTogetherWithPicturesNamesAndOneUndoStep)
{
    writeWidthsPdf(dir / "a.pdf", 2, 100);
    writeWidthsPdf(dir / "b.pdf", 1, 300);
    QSignalSpy inserted(&model(), &AppModel::pagesInserted);
    addAndWait(fileUrls({dir / "a.pdf", dir / "b.pdf"}));

    const PageList& cards = model().pages();
    ASSERT_EQ(cards.size(), 3);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0), (QVariantList{0, 2}));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 300}));
    const std::pair<QString, qint64> sources[] = {{"a.pdf", 1}, {"a.pdf", 2}, {"b.pdf", 1}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cards[i].sourceName, sources[i].first);
        EXPECT_EQ(cards[i].sourcePage, sources[i].second);
        EXPECT_EQ(cards[i].descriptor.rotation, 0);
        const QImage picture = QImage::fromData(cards[i].thumbnailData, "JPEG");
        ASSERT_FALSE(picture.isNull());
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
}

TEST_F(AddingTest, AFileTwiceInOneCallCountsOnceButTwoCallsAddItTwice)
{
    writeWidthsPdf(dir / "a.pdf", 2);
    addAndWait({fileUrl(dir / "a.pdf"), QUrl::fromLocalFile(QString::fromStdString((dir / "./a.pdf").string()))});
    EXPECT_EQ(model().pages().size(), 2);
    addAndWait(fileUrls({dir / "a.pdf"}));
    ASSERT_EQ(model().pages().size(), 4);
    QSet<QUuid> ids;
    for (const PageItem& card : model().pages()) {
        ids.insert(card.id);
    }
    EXPECT_EQ(ids.size(), 4);
}

TEST_F(AddingTest, AFolderGivesItsVisiblePdfsAndNamesTheOutput)
{
    const fs::path folder = dir / "Scans";
    fs::create_directories(folder / "sub");
    writeWidthsPdf(folder / "x.PDF", 1, 100);
    writeWidthsPdf(folder / "sub" / "y.pdf", 1, 200);
    writeWidthsPdf(folder / ".hidden.pdf", 1, 400);
    writeFile(folder / "notes.txt", "not a pdf");
    // Loops must neither hang nor repeat anything.
    fs::create_directory_symlink(folder, folder / "sub" / "back-up");
    fs::create_symlink(folder / "self", folder / "self");

    addAndWait(fileUrls({folder}));
    EXPECT_EQ(sorted(cardWidths(model())), (std::vector<double>{100, 200}));
    EXPECT_EQ(model().outputName(), "Scans-pages");
    EXPECT_FALSE(model().errorMessage());
}

TEST_F(AddingTest, UnreadableFilesAreSkippedSilently)
{
    writeWidthsPdf(dir / "good.pdf", 1, 100);
    writeWidthsPdf(dir / ".secret.pdf", 1, 150);
    writeFile(dir / "text.pdf", "plain text, no PDF");
    writeFile(dir / "empty.pdf", "");
    qpdf::encrypt(dir / "good.pdf", dir / "locked.pdf", "user", "owner");
    // Reading these would block or never end; they must be passed over.
    ASSERT_EQ(::mkfifo((dir / "pipe.pdf").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", dir / "zero.pdf");

    addAndWait(fileUrls({dir / "text.pdf", dir / "pipe.pdf", dir / "zero.pdf", dir / "locked.pdf", dir / "missing.pdf",
                         dir / "empty.pdf", dir / "good.pdf"}));
    EXPECT_EQ(cardWidths(model()), std::vector<double>{100});
    EXPECT_FALSE(model().errorMessage());
    EXPECT_EQ(model().outputName(), "text-pages") << "the first location names the output, read or not";
}

TEST_F(AddingTest, NothingReadableGivesOneMessageAndChangesNothing)
{
    fs::create_directories(dir / "no-pdfs");
    writeFile(dir / "no-pdfs" / "notes.txt", "text");
    writeWidthsPdf(dir / "good.pdf", 1);
    qpdf::encrypt(dir / "good.pdf", dir / "locked.pdf", "user", "owner");
    const QList<QUrl> attempts[] = {fileUrls({dir / "no-pdfs"}), fileUrls({dir / "locked.pdf"}),
                                    fileUrls({dir / "nothing-here.pdf", dir / "notes.txt"})};
    for (const QList<QUrl>& attempt : attempts) {
        SCOPED_TRACE(attempt.first().toString().toStdString());
        m_model.reset();
        QSignalSpy pagesChanged(&model(), &AppModel::pagesChanged);
        addAndWait(attempt);
        EXPECT_EQ(model().errorMessage(), nothingReadable);
        EXPECT_EQ(pagesChanged.count(), 0);
        EXPECT_TRUE(model().undoStack().isEmpty());
        EXPECT_TRUE(model().selection().isEmpty());
        EXPECT_EQ(model().outputName(), "Combined-pages");
        EXPECT_FALSE(model().isRenderingPreview());
    }
}

TEST_F(AddingTest, OutputNameIsSetOnlyWhileItIsTheInitialOne)
{
    writeWidthsPdf(dir / "report.pdf", 1);
    writeWidthsPdf(dir / "other.pdf", 1);
    addAndWait(fileUrls({dir / "report.pdf"}));
    addAndWait(fileUrls({dir / "other.pdf"}));
    EXPECT_EQ(model().outputName(), "report-pages");

    m_model.reset();
    model().setOutputName("My choice");
    addAndWait(fileUrls({dir / "report.pdf"}));
    EXPECT_EQ(model().outputName(), "My choice");
}

TEST_F(AddingTest, ASelectionInPlaceIsKept)
{
    writeWidthsPdf(dir / "a.pdf", 3);
    addAndWait(fileUrls({dir / "a.pdf"}));
    const QSet<QUuid> chosen{model().pages()[1].id, model().pages()[2].id};
    model().setSelection(chosen);
    addAndWait(fileUrls({dir / "a.pdf"}));
    EXPECT_EQ(model().pages().size(), 6);
    EXPECT_EQ(model().selection(), chosen);
}

TEST_F(AddingTest, ChoosePDFsAsksForFilesAndFoldersAndAddsTheAnswer)
{
    writeWidthsPdf(dir / "a.pdf", 2);
    dialogs.fileAnswers.push_back(fileUrls({dir / "a.pdf"}));
    model().choosePDFs();
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    const Dialogs::FileChoice& asked = dialogs.fileQuestions[0];
    EXPECT_EQ(asked.message, "Choose PDFs or folders");
    EXPECT_EQ(asked.prompt, "Add");
    EXPECT_TRUE(asked.allowFolders && asked.allowMultiple);
    EXPECT_EQ(asked.fileExtensions, QStringList{"pdf"});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model().isLoading(); }, 60'000));
    EXPECT_EQ(model().pages().size(), 2);

    model().choosePDFs(); // cancelled
    EXPECT_FALSE(model().isLoading());
    EXPECT_EQ(model().pages().size(), 2);
}

TEST_F(AddingTest, NothingIsAddedWhileAnExportRuns)
{
    writeWidthsPdf(dir / "a.pdf", 1);
    model().setIsExporting(true);
    dialogs.fileAnswers.push_back(fileUrls({dir / "a.pdf"}));
    model().choosePDFs();
    model().add(fileUrls({dir / "a.pdf"}));
    EXPECT_TRUE(dialogs.fileQuestions.empty());
    EXPECT_FALSE(model().isLoading());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(model().pages().isEmpty());
    EXPECT_FALSE(model().errorMessage());
}

TEST_F(AddingTest, ALoadOutlivingItsModelIsDropped)
{
    writeWidthsPdf(dir / "big.pdf", 40);
    writeWidthsPdf(dir / "small.pdf", 1);
    auto doomed = std::make_unique<AppModel>(dialogs);
    doomed->add(fileUrls({dir / "big.pdf"}));
    doomed.reset(); // under ASan, a result delivered to the freed model fails the run
    addAndWait(fileUrls({dir / "small.pdf"}));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(model().pages().size(), 1);
}

} // namespace
} // namespace lumafold::test
