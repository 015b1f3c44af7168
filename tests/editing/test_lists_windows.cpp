// The song-list editor, the weekday assignment, the entry playlist viewer and
// the main window's ways of opening them, driven through their controls.
#include "support/FakeClock.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include "app/Unit_main_vorn.h"
#include "base/Services.h"
#include "editing/PlaylistDialogs.h"
#include "editing/PlaylistFile.h"
#include "editing/SongList.h"
#include "editing/SongListBox.h"
#include "editing/Unit_lbbj.h"
#include "editing/Unit_lbch.h"
#include "editing/Unit_sjsj.h"
#include "settings/Unit_mm.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <gtest/gtest.h>

namespace {
// Answers the file dialogs with queued choices (an empty choice is a cancel).
class FakeDialogs : public PlaylistDialogs {
public:
    FakeDialogs() { PlaylistDialogs::install(this); }
    ~FakeDialogs() override { PlaylistDialogs::install(nullptr); }

    std::deque<QStringList> songs;
    std::deque<QString> opens;
    std::deque<QString> saves;
    QStringList saveStartDirs;
    QStringList openStartDirs;

    QStringList chooseSongs(QWidget*, const QString&) override { return take(songs); }
    QString chooseListToOpen(QWidget*, const QString& startDir) override {
        openStartDirs << startDir;
        return take(opens);
    }
    QString chooseListToSave(QWidget*, const QString& startDir) override {
        saveStartDirs << startDir;
        return take(saves);
    }

private:
    template <typename T> static T take(std::deque<T>& queue) {
        if (queue.empty())
            return {};
        T v = queue.front();
        queue.pop_front();
        return v;
    }
};

template <typename T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        throw std::runtime_error(std::string("no control ") + name);
    return c;
}

QStringList rows(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString click(QWidget* w, const char* button) {
    child<QPushButton>(w, button)->click();
    return {};
}

// Answers the next password prompt with the typed text (by default the
// empty password of a new database), or cancels it.
void answerPasswordPrompt(const QString& typed = QString(), bool cancel = false) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, typed, cancel] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* prompt = qobject_cast<TForm_mm*>(w);
            if (prompt && prompt->isVisible()) {
                timer->stop();
                timer->deleteLater();
                if (cancel) {
                    prompt->reject();
                    return;
                }
                prompt->Edit1->setText(typed);
                prompt->Button1Click();
                if (prompt->isVisible())
                    prompt->reject(); // a wrong password
                return;
            }
        }
    });
    timer->start(5);
}

// "保存列表" in the viewer, answering its password prompt.
void saveViewer(QWidget* viewer) {
    answerPasswordPrompt();
    click(viewer, "Button4");
}

class ListsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return QDir(db.dir()).filePath(name); }
    RecordingMessageService messages;
    TestDatabase db;
    FakeDialogs dialogs;
};
} // namespace

// ---- song-list editor -------------------------------------------------------

TEST_F(ListsTest, EditorControlsAndCaptions) {
    TForm_lbbj w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("歌曲列表编辑"));
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("共有歌曲：0"));
    const std::pair<const char*, const char*> captions[] = {
        {"Button1", "添加歌曲..."}, {"Button4", "清除全部"},    {"Button6", "清除一首"},
        {"Button5", "打开列表..."}, {"Button2", "保存列表..."}, {"Button3", "关闭"}};
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(child<QPushButton>(&w, name)->text(), QString::fromUtf8(caption)) << name;
    EXPECT_EQ(child<QListWidget>(&w, "ListBox1")->selectionMode(),
              QAbstractItemView::SingleSelection);
}

TEST_F(ListsTest, EditorAddsRemovesAndCounts) {
    TForm_lbbj w;
    auto* list = child<QListWidget>(&w, "ListBox1");
    auto* count = child<QLabel>(&w, "Label1");
    const QString a = QStringLiteral("/音乐/晨曲.mp3"), b = QStringLiteral("/音乐/校歌.wma"),
                  c = QStringLiteral("/音乐/眼保健操.wav");

    dialogs.songs = {{a, b}, {a}, {}, {c}};
    click(&w, "Button1");
    click(&w, "Button1"); // the same song again is kept twice
    EXPECT_EQ(rows(list), (QStringList{a, b, a}));
    EXPECT_EQ(count->text(), QStringLiteral("共有歌曲：3"));
    click(&w, "Button1"); // cancelled: nothing changes
    EXPECT_EQ(rows(list), (QStringList{a, b, a}));
    EXPECT_EQ(count->text(), QStringLiteral("共有歌曲：3"));
    click(&w, "Button1");

    // 清除一首 with no row selected leaves everything as it is.
    click(&w, "Button6");
    EXPECT_EQ(rows(list), (QStringList{a, b, a, c}));
    EXPECT_EQ(count->text(), QStringLiteral("共有歌曲：4"));

    list->setCurrentRow(1);
    click(&w, "Button6");
    EXPECT_EQ(rows(list), (QStringList{a, a, c}));
    EXPECT_EQ(count->text(), QStringLiteral("共有歌曲：3"));
    EXPECT_TRUE(list->selectedItems().isEmpty());
    click(&w, "Button6"); // the removal left no row selected
    EXPECT_EQ(list->count(), 3);

    // 清除全部 asks first; Cancel keeps the songs.
    messages.nextAnswer(MessageService::Answer::Cancel);
    click(&w, "Button4");
    EXPECT_EQ(list->count(), 3);
    click(&w, "Button4");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(count->text(), QStringLiteral("共有歌曲：0"));
    EXPECT_EQ(messages.texts(), QStringList(2, QStringLiteral("确定要清除全部歌曲吗？")));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Question);
    click(&w, "Button4"); // an empty list is not asked about
    EXPECT_EQ(messages.shown().size(), 2);
}

TEST_F(ListsTest, EditorSavesIntoTheProgramsListFolderAndOpensAgain) {
    TForm_lbbj w;
    auto* list = child<QListWidget>(&w, "ListBox1");
    QDir(db.dir()).mkdir(QStringLiteral("pl3"));
    const QString a = QStringLiteral("/音乐/晨曲.mp3"), b = QStringLiteral("D:\\音乐\\校歌.wma");
    dialogs.songs = {{a, b}};
    click(&w, "Button1");

    // A name typed without extension gets ".pl3".
    dialogs.saves = {path(QStringLiteral("pl3/早操"))};
    click(&w, "Button2");
    EXPECT_EQ(dialogs.saveStartDirs, QStringList{path(QStringLiteral("pl3"))});
    const QString saved = path(QStringLiteral("pl3/早操.pl3"));
    EXPECT_EQ(readBytes(saved), (a + QStringLiteral("\r\n") + b + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(rows(list), (QStringList{a, b})); // the list stays in the window
    EXPECT_TRUE(messages.shown().isEmpty());    // no message after a successful save

    // A cancelled save writes nothing.
    click(&w, "Button4");
    click(&w, "Button2");
    EXPECT_EQ(ReadPlaylistFile(saved), (QStringList{a, b}));

    // Opening replaces the rows, never appends.
    dialogs.songs = {{QStringLiteral("/x.mp3")}};
    click(&w, "Button1");
    dialogs.opens = {saved};
    click(&w, "Button5");
    EXPECT_EQ(rows(list), (QStringList{a, b}));
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("共有歌曲：2"));

    // Saving an empty list writes 0 bytes; opening it gives an empty list.
    click(&w, "Button4");
    dialogs.saves = {saved};
    click(&w, "Button2");
    EXPECT_EQ(QFileInfo(saved).size(), 0);
    dialogs.songs = {{a}};
    click(&w, "Button1");
    dialogs.opens = {saved};
    click(&w, "Button5");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("共有歌曲：0"));
}

TEST_F(ListsTest, EditorReportsFilesItCannotOpenOrCreateAndKeepsTheList) {
    TForm_lbbj w;
    auto* list = child<QListWidget>(&w, "ListBox1");
    dialogs.songs = {{QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}};
    click(&w, "Button1");

    const QString missing = path(QStringLiteral("missing.pl3"));
    dialogs.opens = {missing};
    click(&w, "Button5");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(
        messages.last().text.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(missing)));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("共有歌曲：2"));

    const QString unwritable = path(QStringLiteral("no folder/x.pl3"));
    dialogs.saves = {unwritable};
    click(&w, "Button2");
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_TRUE(messages.last().text.startsWith(
        QStringLiteral("Cannot create file \"%1\". ").arg(unwritable)));
    EXPECT_EQ(list->count(), 2);

    // An open cancelled changes nothing.
    click(&w, "Button5");
    EXPECT_EQ(list->count(), 2);
}

TEST_F(ListsTest, EditorClosesAndIsForgotten) {
    QPointer<TForm_lbbj> w = new TForm_lbbj;
    w->show();
    click(w, "Button3");
    flushDeletes();
    EXPECT_TRUE(w.isNull());
}

TEST(SongListText, DialogFiltersAndNames) {
    EXPECT_EQ(SongList::dialogFilter(QString::fromUtf8(PlaylistDialogs::songFilter)),
              QStringLiteral("音乐文件(mp3;wma;wav) (*.mp3 *.wma *.wav);;MP3文件(mp3) (*.mp3);;"
                             "WMA文件(wma) (*.wma);;WAV文件(wav) (*.wav)"));
    EXPECT_EQ(SongList::dialogFilter(QString::fromUtf8(PlaylistDialogs::saveListFilter)),
              QStringLiteral("文本文件类型(*.pl3) (*.pl3)"));
    EXPECT_EQ(SongList::withPlaylistSuffix(QStringLiteral("/a.b/list")),
              QStringLiteral("/a.b/list.pl3"));
    EXPECT_EQ(SongList::withPlaylistSuffix(QStringLiteral("/a/list.txt")),
              QStringLiteral("/a/list.txt"));
    EXPECT_EQ(SongList::title(QStringLiteral("D:\\lists\\morning.pl3")), QStringLiteral("morning"));
    EXPECT_EQ(SongList::title(QStringLiteral("/srv/lists/晚间.PL3")), QStringLiteral("晚间"));
    EXPECT_EQ(SongList::title(QStringLiteral("ab")), QString());
    EXPECT_TRUE(SongList::isPlaylistPath(QStringLiteral("/a/b.Pl3")));
    EXPECT_FALSE(SongList::isPlaylistPath(QStringLiteral("/a.pl3/b.mp3")));
    EXPECT_FALSE(SongList::isPlaylistPath(QStringLiteral("/a.pl3/b")));
    EXPECT_FALSE(SongList::isPlaylistPath(QStringLiteral("/a/pl3")));
}

// ---- weekday assignment -----------------------------------------------------

namespace {
const char* const comboNames[] = {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4",
                                  "ComboBox5", "ComboBox6", "ComboBox7"};
const QStringList dayNames = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};

class WeekdayTest : public ListsTest {
protected:
    void SetUp() override {
        db.exec(QStringLiteral("delete from sjbmc"));
        for (const char* n : {"Morning", "  ", "考试周"})
            db.exec(QStringLiteral("insert into sjbmc(name) values(?)"), {QString::fromUtf8(n)});
    }
    QStringList settings() {
        QStringList out;
        for (const QString& d : dayNames)
            out << db.setting(d);
        return out;
    }
};

QStringList items(QComboBox* c) {
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}
} // namespace

TEST_F(WeekdayTest, OffersTheNamesThenNoneAndMatchesStoredValuesWithoutCase) {
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("MORNING"));
    db.setSetting(QStringLiteral("星期二"), QStringLiteral("考试周"));
    db.setSetting(QStringLiteral("星期三"), QStringLiteral("deleted table"));
    db.setSetting(QStringLiteral("星期四"), QString());
    // 星期五 … 星期日 stay "无".
    TForm_sjsj w(db.dm());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("时间表设置"));
    EXPECT_EQ(child<QLabel>(&w, "Label8")->text(), QStringLiteral("设置各天对应的时间表："));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(child<QLabel>(&w, QStringLiteral("Label%1").arg(i + 1).toLatin1())->text(),
                  dayNames[i]);
        auto* combo = child<QComboBox>(&w, comboNames[i]);
        EXPECT_FALSE(combo->isEditable());
        EXPECT_EQ(items(combo), (QStringList{"Morning", "考试周", "无"})) << comboNames[i];
    }
    const QStringList shown = {"Morning", "考试周", "", "", "无", "无", "无"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(child<QComboBox>(&w, comboNames[i])->currentText(), shown[i]) << comboNames[i];
    EXPECT_EQ(child<QComboBox>(&w, "ComboBox3")->currentIndex(), -1);

    // 确定 stores the names as listed, and the empty text for the blank days.
    child<QComboBox>(&w, "ComboBox6")->setCurrentIndex(1);
    click(&w, "Button1");
    EXPECT_EQ(settings(), (QStringList{"Morning", "考试周", "", "", "无", "考试周", "无"}));
    EXPECT_EQ(
        db.scalar(QStringLiteral("select count(*) from system1 where value1 is null")).toInt(), 0);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(WeekdayTest, CancelWritesNothingButStillReportsTheClose) {
    const QStringList before = settings();
    auto* w = new TForm_sjsj(db.dm());
    QPointer<TForm_sjsj> guard = w;
    int closes = 0;
    QObject::connect(w, &TForm_sjsj::closed, [&] { ++closes; });
    w->show();
    for (const char* name : comboNames)
        child<QComboBox>(w, name)->setCurrentIndex(0);
    click(w, "Button2");
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(closes, 1);
    flushDeletes();
    EXPECT_TRUE(guard.isNull());
}

TEST_F(WeekdayTest, AFailedWriteIsShownForThatDayAndTheOthersAreWritten) {
    db.exec(QStringLiteral("create trigger no_wednesday before update on system1 "
                           "when new.name1='星期三' begin select raise(abort,'x'); end;"));
    TForm_sjsj w(db.dm());
    int closes = 0;
    QObject::connect(&w, &TForm_sjsj::closed, [&] { ++closes; });
    for (const char* name : comboNames)
        child<QComboBox>(&w, name)->setCurrentIndex(0);
    click(&w, "Button1");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("数据库写入出错!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("错误"));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_EQ(settings(), (QStringList{"Morning", "Morning", "无", "Morning", "Morning", "Morning",
                                       "Morning"}));
    EXPECT_EQ(closes, 1);
}

TEST_F(WeekdayTest, AnUnreadableNameTableIsReportedAndTheWindowStillOpens) {
    db.exec(QStringLiteral("drop table sjbmc"));
    TForm_sjsj w(db.dm());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_EQ(child<QComboBox>(&w, "ComboBox1")->currentIndex(), -1);
}

// ---- entry playlist viewer --------------------------------------------------

namespace {
QStringList twelveSongs() {
    QStringList songs;
    for (int i = 1; i <= 12; ++i)
        songs << QStringLiteral("D:\\音乐\\第%1首.mp3").arg(i);
    return songs;
}
} // namespace

TEST_F(ListsTest, ViewerShowsTheListNameAndCount) {
    const QString p = path(QStringLiteral("morning.pl3"));
    WritePlaylistFile(p, twelveSongs());
    TForm_lb w(p);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("查看歌曲列表内容 - morning.pl3"));
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("歌曲列表文件名：morning.pl3"));
    EXPECT_EQ(child<QLabel>(&w, "Label2")->text(), QStringLiteral("(共 12 首)"));
    EXPECT_EQ(rows(child<QListWidget>(&w, "ListBox1")), twelveSongs());
    const std::pair<const char*, const char*> captions[] = {{"Button1", "添加歌曲..."},
                                                            {"Button2", "清除全部"},
                                                            {"Button3", "清除一首"},
                                                            {"Button4", "保存列表"}};
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(child<QPushButton>(&w, name)->text(), QString::fromUtf8(caption)) << name;

    const QString upper = path(QStringLiteral("晚间.PL3"));
    WritePlaylistFile(upper, {QStringLiteral("/a.mp3")});
    TForm_lb w2(upper);
    EXPECT_EQ(child<QLabel>(&w2, "Label1")->text(), QStringLiteral("歌曲列表文件名：晚间.pl3"));
    EXPECT_EQ(child<QLabel>(&w2, "Label2")->text(), QStringLiteral("(共 1 首)"));
}

TEST_F(ListsTest, ViewerEditsAndSavesInPlace) {
    const QString p = path(QStringLiteral("morning.pl3"));
    WritePlaylistFile(p, {QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")});
    QPointer<TForm_lb> w = new TForm_lb(p);
    w->show();
    auto* list = child<QListWidget>(w, "ListBox1");
    dialogs.songs = {{QStringLiteral("/c.mp3"), QStringLiteral("/a.mp3")}};
    click(w, "Button1");
    EXPECT_EQ(child<QLabel>(w, "Label2")->text(), QStringLiteral("(共 4 首)"));
    click(w, "Button3"); // nothing selected
    EXPECT_EQ(list->count(), 4);
    list->setCurrentRow(0);
    click(w, "Button3");
    EXPECT_EQ(child<QLabel>(w, "Label2")->text(), QStringLiteral("(共 3 首)"));

    saveViewer(w);
    EXPECT_EQ(ReadPlaylistFile(p), (QStringList{QStringLiteral("/b.mp3"), QStringLiteral("/c.mp3"),
                                                QStringLiteral("/a.mp3")}));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("保存列表成功。"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("提示"));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::None);
    flushDeletes();
    EXPECT_TRUE(w.isNull());
}

TEST_F(ListsTest, ViewerSavesOnlyWithThePassword) {
    db.setSetting(QStringLiteral("密码"), QStringLiteral("pw"));
    const QString p = path(QStringLiteral("morning.pl3"));
    WritePlaylistFile(p, twelveSongs());
    TForm_lb w(p);
    w.show();
    click(&w, "Button2");
    answerPasswordPrompt(QString(), true);
    click(&w, "Button4");
    answerPasswordPrompt(QStringLiteral("wrong"));
    click(&w, "Button4");
    EXPECT_EQ(ReadPlaylistFile(p), twelveSongs()) << "cancel or a wrong password writes nothing";
    EXPECT_TRUE(w.isVisible());
    answerPasswordPrompt(QStringLiteral("pw"));
    click(&w, "Button4");
    EXPECT_EQ(QFileInfo(p).size(), 0);
    EXPECT_EQ(messages.texts(),
              (QStringList{QStringLiteral("确定要清除全部歌曲吗？"), QStringLiteral("密码错误。"),
                           QStringLiteral("保存列表成功。")}));
}

TEST_F(ListsTest, ViewerSavingAfterClearAllLeavesAnEmptyFile) {
    const QString p = path(QStringLiteral("morning.pl3"));
    WritePlaylistFile(p, twelveSongs());
    TForm_lb w(p);
    click(&w, "Button2");
    EXPECT_EQ(child<QLabel>(&w, "Label2")->text(), QStringLiteral("(共 0 首)"));
    saveViewer(&w);
    EXPECT_EQ(QFileInfo(p).size(), 0);
}

TEST_F(ListsTest, ViewerOnAnUnreadableFileOpensEmptyAndSavingCreatesIt) {
    const QString p = path(QStringLiteral("gone.pl3"));
    TForm_lb w(p);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(
        messages.last().text.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(p)));
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("歌曲列表文件名："));
    EXPECT_EQ(child<QLabel>(&w, "Label2")->text(), QString());
    EXPECT_EQ(child<QListWidget>(&w, "ListBox1")->count(), 0);

    dialogs.songs = {{QStringLiteral("/新歌.mp3")}};
    click(&w, "Button1");
    saveViewer(&w);
    EXPECT_EQ(ReadPlaylistFile(p), QStringList{QStringLiteral("/新歌.mp3")});
    EXPECT_EQ(messages.last().text, QStringLiteral("保存列表成功。"));
}

TEST_F(ListsTest, ViewerThatCannotWriteStaysOpenWithItsList) {
    const QString p = path(QStringLiteral("removed folder/morning.pl3"));
    TForm_lb w(p);
    w.show();
    messages.clear();
    dialogs.songs = {{QStringLiteral("/a.mp3")}};
    click(&w, "Button1");
    saveViewer(&w);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(
        messages.last().text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(p)));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(child<QListWidget>(&w, "ListBox1")->count(), 1);
}

TEST_F(ListsTest, ViewerNeverReplacesAFileItCouldNotRead) {
    // Something that exists at the path but cannot be read as a list.
    const QString p = path(QStringLiteral("busy.pl3"));
    ASSERT_TRUE(QDir(db.dir()).mkdir(QStringLiteral("busy.pl3")));
    ASSERT_TRUE(QDir(p).mkdir(QStringLiteral("inside")));
    TForm_lb w(p);
    w.show();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(
        messages.last().text.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(p)));
    dialogs.songs = {{QStringLiteral("/a.mp3")}};
    click(&w, "Button1");
    click(&w, "Button4");
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_TRUE(
        messages.last().text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(p)));
    EXPECT_TRUE(QFileInfo::exists(p + QStringLiteral("/inside")));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(child<QListWidget>(&w, "ListBox1")->count(), 1);

    // Once the thing is gone, saving creates the file as for a missing list.
    ASSERT_TRUE(QDir(p).removeRecursively());
    saveViewer(&w);
    EXPECT_EQ(ReadPlaylistFile(p), QStringList{QStringLiteral("/a.mp3")});
    EXPECT_EQ(messages.last().text, QStringLiteral("保存列表成功。"));
}

// ---- main window ------------------------------------------------------------

namespace {
class MainWindowTest : public ListsTest {
protected:
    // 2026-12-07 is a Monday.
    FakeClock clock{QDateTime(QDate(2026, 12, 7), QTime(8, 0, 0))};
};
} // namespace

TEST_F(MainWindowTest, DoubleClickOpensTheViewerOnlyForSongListEntries) {
    const QString upper = path(QStringLiteral("A.PL3"));
    WritePlaylistFile(upper, twelveSongs());
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("Mon"));
    db.addEntry(QStringLiteral("Mon"), QStringLiteral("07:00:00"), QStringLiteral("07:10:00"),
                upper);
    db.addEntry(QStringLiteral("Mon"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"),
                path(QStringLiteral("song.mp3")));
    db.addEntry(QStringLiteral("Mon"), QStringLiteral("09:00:00"), QStringLiteral("09:10:00"),
                path(QStringLiteral("lists.pl3/song.mp3")));
    TForm_main_vorn main(db.dm());
    main.LoadTodayTimetable();
    ASSERT_EQ(db.dm().qry_show->recordCount(), 3);

    db.dm().qry_show->setCurrentRow(1);
    main.DBGrid1DblClick();
    db.dm().qry_show->setCurrentRow(2);
    main.DBGrid1DblClick();
    EXPECT_TRUE(main.findChildren<TForm_lb*>().isEmpty());

    db.dm().qry_show->setCurrentRow(0);
    main.DBGrid1DblClick();
    main.DBGrid1DblClick(); // each double-click opens its own viewer
    const QList<TForm_lb*> viewers = main.findChildren<TForm_lb*>();
    ASSERT_EQ(viewers.size(), 2);
    EXPECT_EQ(viewers[0]->playlistPath(), upper);
    EXPECT_TRUE(viewers[0]->isVisible());
    EXPECT_EQ(child<QLabel>(viewers[0], "Label2")->text(), QStringLiteral("(共 12 首)"));
    // The viewer keeps its path when the grid moves on.
    db.dm().qry_show->setCurrentRow(1);
    EXPECT_EQ(viewers[0]->playlistPath(), upper);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(MainWindowTest, DoubleClickOnAnEmptyGridOpensNothing) {
    TForm_main_vorn main(db.dm());
    main.LoadTodayTimetable();
    ASSERT_EQ(db.dm().qry_show->recordCount(), 0);
    main.DBGrid1DblClick();
    EXPECT_TRUE(main.findChildren<TForm_lb*>().isEmpty());
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(MainWindowTest, ToolbarOpensTheEditorAndTheAssignmentWhichReloadsToday) {
    db.exec(QStringLiteral("insert into sjbmc(name) values('Mon')"));
    db.addEntry(QStringLiteral("Mon"), QStringLiteral("07:00:00"), QStringLiteral("07:10:00"),
                QStringLiteral("/a.mp3"));
    TForm_main_vorn main(db.dm());
    main.LoadTodayTimetable();
    EXPECT_EQ(db.dm().qry_show->recordCount(), 0); // Monday plays "无"

    answerPasswordPrompt();
    main.ToolButton10Click();
    const QList<TForm_lbbj*> editors = main.findChildren<TForm_lbbj*>();
    ASSERT_EQ(editors.size(), 1);
    EXPECT_TRUE(editors[0]->isVisible());

    answerPasswordPrompt();
    main.ToolButton1Click();
    const QList<TForm_sjsj*> assignments = main.findChildren<TForm_sjsj*>();
    ASSERT_EQ(assignments.size(), 1);
    auto* monday = child<QComboBox>(assignments[0], "ComboBox1");
    monday->setCurrentIndex(monday->findText(QStringLiteral("Mon")));
    click(assignments[0], "Button1");
    EXPECT_EQ(db.setting(QStringLiteral("星期一")), QStringLiteral("Mon"));
    EXPECT_EQ(db.dm().qry_show->recordCount(), 1); // reloaded when it closed
}

// ---- song lists like a music program ----------------------------------------

TEST(SongListModel, MovesInsertsAndKnowsWhenItChanged) {
    SongList list;
    EXPECT_FALSE(list.isModified());
    list.append({"a", "b", "c", "d"});
    EXPECT_TRUE(list.isModified());
    EXPECT_EQ(list.move(0, 4), 3) << "to the end";
    EXPECT_EQ(list.entries(), (QStringList{"b", "c", "d", "a"}));
    EXPECT_EQ(list.move(3, 1), 1);
    EXPECT_EQ(list.entries(), (QStringList{"b", "a", "c", "d"}));
    EXPECT_EQ(list.move(2, 2), 2) << "dropped on itself";
    EXPECT_EQ(list.move(9, 0), -1);
    list.insert(1, {"x", "y"});
    EXPECT_EQ(list.entries(), (QStringList{"b", "x", "y", "a", "c", "d"}));

    QTemporaryDir dir;
    const QString file = dir.filePath("l.pl3");
    list.save(file);
    EXPECT_FALSE(list.isModified());
    list.removeAt(0);
    EXPECT_TRUE(list.isModified());
    list.load(file);
    EXPECT_FALSE(list.isModified());
    EXPECT_EQ(list.count(), 6);
}

TEST(SongListModel, DroppedFoldersGiveTheirSongsInNameOrder) {
    QTemporaryDir dir;
    QDir root(dir.path());
    for (const char* name : {"10 校歌.mp3", "2 晨曲.MP3", "1 序曲.wav", "cover.jpg",
                             "sub/3 午间.wma", "sub/deeper/4 尾声.mp3"}) {
        root.mkpath(QFileInfo(root.filePath(QString::fromUtf8(name))).path());
        QFile f(root.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    int skipped = 0;
    const QString loose = root.filePath("10 校歌.mp3");
    const QStringList songs =
        SongList::songsIn({loose, root.filePath("cover.jpg"), dir.path()}, &skipped);
    EXPECT_EQ(songs, (QStringList{loose, root.filePath("1 序曲.wav"), root.filePath("2 晨曲.MP3"),
                                  loose, root.filePath("sub/3 午间.wma"),
                                  root.filePath("sub/deeper/4 尾声.mp3")}));
    EXPECT_EQ(skipped, 2) << "the picture dropped by itself and the one in the folder";
}

namespace {
// Answers length requests from a table, a moment later like the real probe.
class TableProbe : public SongLengthProbe {
public:
    using SongLengthProbe::SongLengthProbe;
    static inline QHash<QString, qint64> lengths;
    void request(const QString& path) override {
        QMetaObject::invokeMethod(
            this, [this, path] { emit measured(path, lengths.value(path, missing)); },
            Qt::QueuedConnection);
    }
};

class DeskListsTest : public ListsTest {
protected:
    void SetUp() override {
        TableProbe::lengths = {{"/音乐/晨曲.mp3", 205000}, {"/音乐/校歌.mp3", 3600000}};
        Services::setSongLengthProbeFactory(
            [](QObject* parent) { return std::make_unique<TableProbe>(parent); });
    }
    void TearDown() override { Services::setSongLengthProbeFactory({}); }

    // Drops local files on a list box, below its last row.
    static void dropFiles(QListWidget* list, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data.setUrls(urls);
        const QPointF below(10, list->viewport()->height() - 2);
        QDragEnterEvent enter(below.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        QDropEvent drop(below, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
    }
    // Key presses reach the active window only.
    static void activate(QWidget* w) {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
};
} // namespace

TEST_F(DeskListsTest, DroppedFilesAreAppendedInOrderAndShowTheirLengths) {
    TForm_lbbj w;
    w.show();
    auto* list = child<QListWidget>(&w, "ListBox1");
    const QString a = db.writeFile("晨曲.mp3"), b = db.writeFile("校歌.wav");
    TableProbe::lengths.insert(a, 205000);
    TableProbe::lengths.insert(b, 65000);
    dialogs.songs = {{"/音乐/晨曲.mp3"}};
    click(&w, "Button1");
    dropFiles(list, {a, b});
    EXPECT_EQ(rows(list), (QStringList{"/音乐/晨曲.mp3", a, b}));
    EXPECT_EQ(child<QLabel>(&w, "Label1")->text(), QStringLiteral("共有歌曲：3"));
    EXPECT_TRUE(child<QLabel>(&w, "Label2")->text().contains(QStringLiteral("计算中")));

    QCoreApplication::processEvents(); // the answers arrive
    EXPECT_EQ(list->item(0)->data(SongListBox::lengthTextRole).toString(), QStringLiteral("3:25"));
    EXPECT_EQ(list->item(2)->data(SongListBox::lengthTextRole).toString(), QStringLiteral("1:05"));
    EXPECT_EQ(child<QLabel>(&w, "Label2")->text(), QStringLiteral("总时长：7:55"));

    dialogs.songs = {{"/音乐/校歌.mp3", "/不在了.mp3"}};
    click(&w, "Button1");
    QCoreApplication::processEvents();
    EXPECT_EQ(list->item(4)->data(SongListBox::lengthTextRole).toString(),
              QStringLiteral("文件不存在"));
    EXPECT_TRUE(list->item(4)->data(SongListBox::problemRole).toBool());
    EXPECT_EQ(child<QLabel>(&w, "Label2")->text(),
              QStringLiteral("总时长：1:07:55（另有 1 首无法读取）"));
}

TEST_F(DeskListsTest, SongsMoveUpAndDownByButtonKeyAndDrag) {
    TForm_lbbj w;
    activate(&w);
    auto* list = child<SongListBox>(&w, "ListBox1");
    dialogs.songs = {{"a.mp3", "b.mp3", "c.mp3"}};
    click(&w, "Button1");
    list->setCurrentRow(0);
    click(&w, "Button8"); // 下移
    EXPECT_EQ(rows(list), (QStringList{"b.mp3", "a.mp3", "c.mp3"}));
    EXPECT_EQ(list->currentRow(), 1) << "the moved song stays selected";
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(rows(list), (QStringList{"b.mp3", "c.mp3", "a.mp3"}));
    click(&w, "Button8"); // already last
    EXPECT_EQ(rows(list), (QStringList{"b.mp3", "c.mp3", "a.mp3"}));
    click(&w, "Button7"); // 上移
    EXPECT_EQ(rows(list), (QStringList{"b.mp3", "a.mp3", "c.mp3"}));

    emit list->rowDragged(2, 0); // c dragged above b
    EXPECT_EQ(rows(list), (QStringList{"c.mp3", "b.mp3", "a.mp3"}));
    EXPECT_EQ(list->currentRow(), 0);

    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(rows(list), (QStringList{"c.mp3", "a.mp3"}));
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" *")));
}

TEST_F(DeskListsTest, ClosingWithUnsavedChangesAsksAndCtrlSSavesToTheOpenFile) {
    const QString file = path("早操.pl3");
    WritePlaylistFile(file, {"/a.mp3"});
    QPointer<TForm_lbbj> w = new TForm_lbbj;
    activate(w);
    dialogs.opens = {file};
    click(w, "Button5");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("歌曲列表编辑 - 早操.pl3"));
    dialogs.songs = {{"/b.mp3"}};
    click(w, "Button1");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("歌曲列表编辑 - 早操.pl3 *"));

    messages.nextAnswer(MessageService::Answer::Cancel);
    w->close();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("歌曲列表已修改，是否保存？"));
    EXPECT_EQ(messages.last().buttons, MessageService::Buttons::YesNoCancel);
    EXPECT_TRUE(w->isVisible()) << "Cancel keeps the window and its list";

    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadPlaylistFile(file), (QStringList{"/a.mp3", "/b.mp3"}));
    EXPECT_TRUE(dialogs.saveStartDirs.isEmpty()) << "saved in place, no dialog";
    EXPECT_EQ(w->windowTitle(), QStringLiteral("歌曲列表编辑 - 早操.pl3"));

    dialogs.songs = {{"/c.mp3"}};
    click(w, "Button1");
    messages.nextAnswer(MessageService::Answer::No);
    QTest::keyClick(w, Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(w.isNull()) << "No closes without saving";
    EXPECT_EQ(ReadPlaylistFile(file), (QStringList{"/a.mp3", "/b.mp3"}));

    // The next editor's open dialog starts where the list was saved.
    TForm_lbbj next;
    click(&next, "Button5");
    EXPECT_EQ(dialogs.openStartDirs.last(), db.dir());
}

TEST_F(DeskListsTest, ViewerTakesDropsAsksBeforeLosingChangesAndClosesOnEsc) {
    const QString file = path("午间.pl3");
    WritePlaylistFile(file, {"/a.mp3"});
    QPointer<TForm_lb> w = new TForm_lb(file);
    activate(w);
    auto* list = child<QListWidget>(w, "ListBox1");
    const QString song = db.writeFile("新歌.mp3");
    dropFiles(list, {song});
    EXPECT_EQ(rows(list), (QStringList{"/a.mp3", song}));
    EXPECT_EQ(child<QLabel>(w, "Label2")->text(), QStringLiteral("(共 2 首)"));

    messages.nextAnswer(MessageService::Answer::Yes);
    answerPasswordPrompt();
    QTest::keyClick(w, Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(ReadPlaylistFile(file), (QStringList{"/a.mp3", song})) << "Yes saved it";
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("歌曲列表已修改，是否保存？")});

    QPointer<TForm_lb> unchanged = new TForm_lb(file);
    activate(unchanged);
    QTest::keyClick(unchanged, Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(unchanged.isNull()) << "nothing to ask about";
    EXPECT_EQ(messages.shown().size(), 1);
}

TEST_F(WeekdayTest, EscCancelsWithoutWriting) {
    const QStringList before = settings();
    QPointer<TForm_sjsj> w = new TForm_sjsj(db.dm());
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    child<QComboBox>(w, "ComboBox1")->setCurrentIndex(0);
    QTest::keyClick(w, Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(settings(), before);
}
