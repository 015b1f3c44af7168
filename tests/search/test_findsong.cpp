#include "support/Eventually.h"
#include "support/FakeFileManager.h"
#include "support/RecordingMessageService.h"

#include "base/FolderDialog.h"
#include "search/Unit_findsong.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class FakeFolderDialog : public FolderDialog {
public:
    FakeFolderDialog() { install(this); }
    ~FakeFolderDialog() override { install(nullptr); }
    QString chooseFolder(QWidget*, const QString& p) override {
        prompt = p;
        return answer;
    }
    QString answer;
    QString prompt;
};

class SongWindow : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.path() + u'/';
        touch("晨曲.mp3", 1025);
        touch("abc.wma", 0);
        touch("sub/ABC.MP3", 1024);
        touch("sub/abc.txt", 1);
        touch("sub/x/big.mp3", 10 * 1024);
        w.Location->setText(dir.path());
    }
    void touch(const char* relative, qint64 size) {
        const QString path = root + QString::fromUtf8(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
    }
    void search() {
        w.FindButtonClick();
        EXPECT_EVENTUALLY(w.FindButton->isEnabled());
    }
    QStringList column(int c) const {
        QStringList texts;
        for (int r = 0; r < w.foundRows()->rowCount(); ++r)
            texts << w.foundRows()->row(r).text(c);
        return texts;
    }
    void select(int row) { w.FoundFiles->setCurrentIndex(w.foundRows()->index(row, 0)); }

    QTemporaryDir dir;
    QString root;
    RecordingMessageService messages;
    TForm_findsong w;
};
} // namespace

TEST(SongSearchTexts, MasksSizesTimesAndSummaries) {
    EXPECT_EQ(SongSearch::masksFor("abc", true, true), "*abc*.mp3;*abc*.wma");
    EXPECT_EQ(SongSearch::masksFor("abc", true, false), "*abc*.mp3");
    EXPECT_EQ(SongSearch::masksFor("abc", false, true), "*abc*.wma");
    EXPECT_EQ(SongSearch::masksFor(" a", false, false), "* a*"); // used as typed
    EXPECT_EQ(SongSearch::masksFor("", true, true), "**.mp3;**.wma");

    EXPECT_EQ(SongSearch::sizeText(0), "0KB");
    EXPECT_EQ(SongSearch::sizeText(1), "1KB");
    EXPECT_EQ(SongSearch::sizeText(1024), "1KB");
    EXPECT_EQ(SongSearch::sizeText(1025), "2KB");
    EXPECT_EQ(SongSearch::sizeText(Q_INT64_C(5) << 30), "5242880KB"); // not the low 32 bits

    const QDateTime midnight(QDate(2024, 9, 1), QTime(0, 0));
    EXPECT_EQ(SongSearch::timeText(midnight),
              QLocale::system().toString(midnight.date(), QLocale::ShortFormat));
    EXPECT_TRUE(SongSearch::timeText(midnight.addSecs(3723)).endsWith(" 01:02:03"));

    EXPECT_EQ(SongSearch::summaryText(3, 2, 0.1256, false),
              "搜索 3 个文件夹并找到 2 个文件 -- 用时 0.126 秒");
    EXPECT_EQ(SongSearch::summaryText(1, 0, 2, true),
              "取消搜索 - 搜索 1 个文件夹并找到 0 个文件 -- 用时 2.000 秒");
    EXPECT_EQ(SongSearch::defaultRange(), "/media;/mnt;" + QDir::homePath());
}

TEST(SongSearchTexts, SortingComparesTextsIgnoringAsciiCase) {
    FoundFilesModel model;
    std::vector<FoundFileRow> rows{
        {"b.mp3", "/m/", "9KB", ""}, {"A.mp3", "/m/", "10KB", ""}, {"a.mp3", "/l/", "2KB", ""}};
    model.append(std::move(rows));
    model.sortRows(FoundFilesModel::NameColumn, false);
    EXPECT_EQ(model.row(0).folder, "/m/"); // A and a are equal and keep their order
    EXPECT_EQ(model.row(2).name, "b.mp3");
    model.sortRows(FoundFilesModel::SizeColumn, false);
    EXPECT_EQ(model.row(0).size, "10KB");
    EXPECT_EQ(model.row(2).size, "9KB");
    model.sortRows(FoundFilesModel::SizeColumn, true);
    EXPECT_EQ(model.row(0).size, "9KB");
    EXPECT_LT(FoundFilesModel::compareTexts("a_", "Z"), 0);
    EXPECT_GT(FoundFilesModel::compareTexts("_", "a"), 0); // '_' lies after 'A'
}

TEST_F(SongWindow, SearchesWithTheMasksOfTheNameAndTypes) {
    EXPECT_EQ(w.windowTitle(), "搜索歌曲");
    EXPECT_EQ(w.Location->text().isEmpty(), false);
    w.Filename->setText("abc");
    w.type2->setChecked(false);
    search();
    EXPECT_EQ(w.FindFile->Criteria().Files.FileName, "*abc*.mp3");
    EXPECT_EQ(column(0), QStringList{"ABC.MP3"});
    EXPECT_EQ(column(1), QStringList{root + "sub/"});
    EXPECT_EQ(column(2), QStringList{"1KB"});

    w.type1->setChecked(false);
    search(); // any file whose name contains the text
    EXPECT_EQ(column(0).size(), 3);
    EXPECT_TRUE(QRegularExpression("^搜索 3 个文件夹并找到 3 个文件 -- 用时 \\d+\\.\\d{3} 秒$")
                    .match(w.statusText())
                    .hasMatch())
        << w.statusText().toStdString();

    w.Filename->clear();
    w.type1->setChecked(true);
    w.type2->setChecked(true);
    w.Subfolders->setChecked(false);
    search();
    EXPECT_EQ(column(0), (QStringList{"abc.wma", "晨曲.mp3"})); // the last mask first
    EXPECT_EQ(column(2), (QStringList{"0KB", "2KB"}));
    EXPECT_TRUE(w.statusText().startsWith("搜索 1 个文件夹并找到 2 个文件"));
    EXPECT_FALSE(w.animating());
    EXPECT_FALSE(w.StopButton->isEnabled());
}

TEST_F(SongWindow, SortsByClickedColumnsAfterTheSearch) {
    search();
    w.FoundFilesColumnClick(FoundFilesModel::SizeColumn);
    EXPECT_EQ(column(2), (QStringList{"0KB", "10KB", "1KB", "2KB"}));
    w.FoundFilesColumnClick(FoundFilesModel::SizeColumn);
    EXPECT_EQ(column(2), (QStringList{"2KB", "1KB", "10KB", "0KB"}));
    EXPECT_TRUE(w.SortDescending());
    w.FoundFilesColumnClick(FoundFilesModel::NameColumn);
    EXPECT_EQ(column(0), (QStringList{"ABC.MP3", "abc.wma", "big.mp3", "晨曲.mp3"}));
    EXPECT_FALSE(w.SortDescending());
    search(); // a new search forgets the order
    EXPECT_EQ(w.SortColumn(), -1);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(SongWindow, RowsArriveDuringTheSearchAndCancellingKeepsThem) {
    // Hold the worker when it enters the second folder.
    QSemaphore gate;
    auto folderEvent = w.FindFile->OnFolderChange;
    int folders = 0;
    w.FindFile->OnFolderChange = [&](TFindFile* f, const QString& folder, TFolderIgnore& ignore) {
        folderEvent(f, folder, ignore);
        if (++folders == 2)
            gate.acquire();
    };
    w.FindButtonClick();
    EXPECT_TRUE(w.animating());
    EXPECT_EVENTUALLY(w.foundRows()->rowCount() == 2); // the first folder's rows, before the end
    EXPECT_TRUE(w.FindFile->Searching());
    EXPECT_EVENTUALLY(w.statusText().startsWith(root + "sub"));

    w.FoundFilesColumnClick(FoundFilesModel::NameColumn);
    ASSERT_EQ(messages.texts(), QStringList{"搜索正在进行时,不能对文件排序."});
    EXPECT_EQ(w.SortColumn(), -1);

    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTimer::singleShot(30, [&] { gate.release(); }); // while Stop waits for the worker
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_EQ(w.statusText(), "正在取消搜索, 请稍等...");
    EXPECT_EVENTUALLY(w.FindButton->isEnabled());
    EXPECT_TRUE(w.statusText().startsWith("取消搜索 - 搜索 2 个文件夹并找到 2 个文件"))
        << w.statusText().toStdString();
    EXPECT_EQ(w.foundRows()->rowCount(), 2);
}

TEST_F(SongWindow, PopupActionsBrowseAndClose) {
    FakeFileManager files;
    QStringList added;
    TForm_findsong::setPlaylistSink([&](const QString& path) { added << path; });
    search();
    w.N1Click(); // nothing selected: nothing happens
    w.N2Click();
    EXPECT_TRUE(added.isEmpty());
    EXPECT_TRUE(files.opened.isEmpty());
    select(0);
    const QString path = w.selectedPath();
    EXPECT_TRUE(path.startsWith(root));
    w.N1Click();
    w.N2Click();
    w.N3Click();
    EXPECT_EQ(added, QStringList{path});
    EXPECT_EQ(files.opened, QStringList{path});
    EXPECT_EQ(files.shown, QStringList{path});
    TForm_findsong::setPlaylistSink(nullptr);
    w.N1Click();
    EXPECT_EQ(messages.shown().size(), 1); // says why nothing was added

    FakeFolderDialog folders;
    w.BrowseButtonClick(); // cancelled
    EXPECT_EQ(w.Location->text(), dir.path());
    EXPECT_EQ(folders.prompt, "请选择文件夹:");
    folders.answer = "/srv/歌曲";
    w.BrowseButtonClick();
    EXPECT_EQ(w.Location->text(), "/srv/歌曲");
}

TEST_F(SongWindow, ClosingDuringASearchCancelsItAndFreesTheWindow) {
    QPointer<TForm_findsong> window = TForm_findsong::open();
    EXPECT_EQ(TForm_findsong::newest(), window);
    window->Location->setText(dir.path());
    QSemaphore gate;
    window->FindFile->OnFolderChange = [&](TFindFile*, const QString&, TFolderIgnore&) {
        gate.acquire();
    };
    window->FindButtonClick();
    QTimer::singleShot(30, [&] { gate.release(10); });
    window->close();
    EXPECT_EVENTUALLY(window.isNull());
    EXPECT_EQ(TForm_findsong::newest(), nullptr);
}
