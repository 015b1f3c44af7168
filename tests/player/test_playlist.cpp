// The player's song list: what a folder lists and how entries stay paired.
#include "player/PlayList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString touch(const QTemporaryDir& dir, const QString& name) {
    const QString path = QDir(dir.path()).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("x");
    return path;
}
} // namespace

TEST(PlayList, FolderListsOnlyItsOwnMp3FilesSortedWithTheirOwnPaths) {
    QTemporaryDir dir;
    touch(dir, "song 2.mp3");
    touch(dir, "song.mp3");
    touch(dir, "Beta.MP3");
    touch(dir, "alpha.Mp3");
    touch(dir, "晨曲.mp3");
    touch(dir, "tune.wma");
    touch(dir, "tune.wav");
    touch(dir, "mp3");
    touch(dir, ".hidden.mp3");
    touch(dir, "sub/inner.mp3");
    QDir(dir.path()).mkdir("folder.mp3");

    PlayList list;
    list.loadFolder(dir.path());
    ASSERT_EQ(list.count(), 5) << list.names().join(",").toStdString();
    EXPECT_EQ(list.names().mid(0, 4), QStringList({"alpha", "Beta", "song", "song 2"}));
    EXPECT_TRUE(list.names().contains("晨曲"));
    // Each text keeps its own path although "song.mp3" sorts after "song 2.mp3".
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(QFileInfo(list.at(i).path).completeBaseName(), list.at(i).name);
    EXPECT_EQ(list.at(2).path, QDir(dir.path()).filePath("song.mp3"));
    EXPECT_EQ(list.selected(), -1);

    EXPECT_TRUE(PlayList::folderSongs(QDir(dir.path()).filePath("missing")).isEmpty());
    EXPECT_TRUE(PlayList::folderSongs("  ").isEmpty());
}

TEST(PlayList, AppendedEntriesStayAtTheEndAndRemovalKeepsPairs) {
    QTemporaryDir dir;
    touch(dir, "b.mp3");
    touch(dir, "c.mp3");
    PlayList list;
    list.loadFolder(dir.path());
    list.append({"/music/a.mp3", "/music/aa.mp3"});
    EXPECT_EQ(list.names(), QStringList({"b", "c", "a", "aa"}));
    EXPECT_EQ(list.paths().mid(2), QStringList({"/music/a.mp3", "/music/aa.mp3"}));

    list.select(3);
    EXPECT_TRUE(list.isLastSelected());
    EXPECT_TRUE(list.removeAt(1)); // before the selection: it follows its entry
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(list.selectedEntry()->path, "/music/aa.mp3");
    EXPECT_TRUE(list.removeAt(2)); // the selected entry itself
    EXPECT_EQ(list.selected(), -1);
    EXPECT_FALSE(list.removeAt(5));
    EXPECT_EQ(list.names(), QStringList({"b", "a"}));
    EXPECT_EQ(list.paths().last(), "/music/a.mp3");

    list.select(7);
    EXPECT_EQ(list.selected(), -1);
    list.select(0);
    list.clear();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.selected(), -1);
}
