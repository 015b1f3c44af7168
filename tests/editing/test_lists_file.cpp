// The song-list file: line rules, encodings and safe saving.
#include "editing/PlaylistFile.h"
#include "editing/SongList.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class PlaylistFileTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    QStringList readRaw(const QByteArray& bytes) {
        const QString p = file(QStringLiteral("raw.pl3"));
        writeBytes(p, bytes);
        return ReadPlaylistFile(p);
    }
    QTemporaryDir m_dir;
};
} // namespace

TEST_F(PlaylistFileTest, EveryEntryIsFollowedByCrLfInUtf8) {
    const QString p = file(QStringLiteral("two.pl3"));
    WritePlaylistFile(p, {QStringLiteral("/音乐/晨曲.mp3"), QStringLiteral("/b.wav")});
    EXPECT_EQ(readBytes(p), QByteArray("/\xe9\x9f\xb3\xe4\xb9\x90/\xe6\x99\xa8\xe6\x9b\xb2.mp3\r\n"
                                       "/b.wav\r\n"));
}

TEST_F(PlaylistFileTest, EmptyListIsAZeroByteFileAndReadsBackEmpty) {
    const QString p = file(QStringLiteral("empty.pl3"));
    writeBytes(p, "old contents\r\n");
    WritePlaylistFile(p, {});
    EXPECT_EQ(QFileInfo(p).size(), 0);
    EXPECT_TRUE(ReadPlaylistFile(p).isEmpty());
    EXPECT_EQ(SongList::editorCountText(int(ReadPlaylistFile(p).size())),
              QStringLiteral("共有歌曲：0"));
}

struct LineCase {
    const char* name;
    QByteArray bytes;
    QStringList entries;
};

TEST_F(PlaylistFileTest, LineRules) {
    const QString e; // an empty entry
    const QList<LineCase> cases = {
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"no final break", "a\r\nb", {"a", "b"}},
        {"lf only", "a\nb\n", {"a", "b"}},
        {"cr only", "a\rb\r", {"a", "b"}},
        {"cr only, no final break", "a\rb", {"a", "b"}},
        {"empty line inside (lf)", "a\n\nb\n", {"a", e, "b"}},
        {"empty line inside (crlf)", "a\r\n\r\nb\r\n", {"a", e, "b"}},
        {"cr then crlf", "a\r\r\nb", {"a", e, "b"}},
        {"lf then cr is two breaks", "a\n\rb", {"a", e, "b"}},
        {"only a break", "\r\n", {e}},
        {"two final breaks", "a\r\n\r\n", {"a", e}},
        {"empty file", "", {}},
        {"nul in the middle", QByteArray("a\r\nb\0c\r\nd\r\n", 12), {"a", "b"}},
        {"nul at a line start", QByteArray("a\r\n\0b\r\n", 7), {"a"}},
        {"nul first", QByteArray("\0a\r\n", 4), {}},
        {"blanks kept", "  a b  \r\n\t\r\n", {"  a b  ", "\t"}},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(readRaw(c.bytes), c.entries) << c.name;
}

TEST_F(PlaylistFileTest, RoundTripKeepsChinesePathsDuplicatesAndBackslashes) {
    const QStringList entries = {
        QStringLiteral("/home/广播/音乐/晨曲 第一首.mp3"), QStringLiteral("D:\\音乐\\校歌.wma"),
        QStringLiteral("/home/广播/音乐/晨曲 第一首.mp3"), QString(),
        QStringLiteral("relative/眼保健操.WAV"),
    };
    const QString p = file(QStringLiteral("中文列表.pl3"));
    WritePlaylistFile(p, entries);
    EXPECT_EQ(ReadPlaylistFile(p), entries);
    // Saving again over the file replaces it whole.
    WritePlaylistFile(p, entries.mid(1, 1));
    EXPECT_EQ(ReadPlaylistFile(p), QStringList{QStringLiteral("D:\\音乐\\校歌.wma")});
}

TEST_F(PlaylistFileTest, GbkFileFromOlderDesksReadsWithChineseNames) {
    // "D:\音乐\晨曲.mp3" and "E:\a.mp3" as written by the older Windows desks.
    const QByteArray gbk = "D:\\\xd2\xf4\xc0\xd6\\\xb3\xbf\xc7\xfa.mp3\r\nE:\\a.mp3\r\n";
    EXPECT_EQ(readRaw(gbk),
              (QStringList{QStringLiteral("D:\\音乐\\晨曲.mp3"), QStringLiteral("E:\\a.mp3")}));
    // A GBK file whose bytes after a NUL would be invalid still decodes the text before it.
    EXPECT_EQ(readRaw(QByteArray("\xb3\xbf\xc7\xfa.mp3\n\0\xff\xff", 12)),
              QStringList{QStringLiteral("晨曲.mp3")});
}

TEST_F(PlaylistFileTest, MissingFileFailsWithCannotOpen) {
    const QString p = file(QStringLiteral("missing.pl3"));
    try {
        ReadPlaylistFile(p);
        FAIL() << "no error";
    } catch (const PlaylistError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(
            QStringLiteral("Cannot open file \"%1\". ").arg(p)))
            << e.what();
    }
    EXPECT_THROW(ReadPlaylistFile(m_dir.path()), PlaylistError); // a folder
}

TEST_F(PlaylistFileTest, EachLineIsDecodedByItself) {
    // A UTF-8 list with one line added by an older desk in GBK.
    const QByteArray bytes = "/\xe9\x9f\xb3\xe4\xb9\x90/\xe6\x99\xa8\xe6\x9b\xb2.mp3\r\n"
                             "D:\\\xb3\xbf\xc7\xfa.mp3\r\n"
                             "/b.mp3\r\n";
    EXPECT_EQ(readRaw(bytes),
              (QStringList{QStringLiteral("/音乐/晨曲.mp3"), QStringLiteral("D:\\晨曲.mp3"),
                           QStringLiteral("/b.mp3")}));
}

namespace {
QString openFailure(const QString& path) {
    try {
        ReadPlaylistFile(path);
    } catch (const PlaylistError& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<read>");
}
} // namespace

TEST_F(PlaylistFileTest, OnlyRegularFilesOfSaneSizeAreRead) {
    // A pipe nobody writes to: the read must not wait for a writer.
    const QString fifo = file(QStringLiteral("pipe.pl3"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return openFailure(fifo); });
    if (pending.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        ADD_FAILURE() << "reading a pipe blocks";
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        ::close(fd); // lets the blocked reader go
    }
    EXPECT_TRUE(pending.get().contains(QStringLiteral("管道")));

    const QString zero = file(QStringLiteral("zero.pl3"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString null = file(QStringLiteral("null.pl3"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), null));
    for (const QString& device : {zero, null}) {
        EXPECT_TRUE(openFailure(device).startsWith(
            QStringLiteral("Cannot open file \"%1\". ").arg(device)));
        EXPECT_TRUE(openFailure(device).contains(QStringLiteral("设备")));
    }
    EXPECT_TRUE(openFailure(m_dir.path()).contains(QStringLiteral("文件夹")));

    // A sparse file just over the limit is refused; one at the limit is read.
    const QString big = file(QStringLiteral("big.pl3"));
    writeBytes(big, "/a.mp3\r\n");
    ASSERT_TRUE(QFile::resize(big, kMaxPlaylistBytes + 1));
    EXPECT_TRUE(openFailure(big).contains(QStringLiteral("16 MB")));
    ASSERT_TRUE(QFile::resize(big, kMaxPlaylistBytes));
    EXPECT_EQ(ReadPlaylistFile(big), QStringList{QStringLiteral("/a.mp3")});
}

TEST_F(PlaylistFileTest, SaveIntoMissingFolderFailsWithCannotCreate) {
    const QString p = file(QStringLiteral("no such folder/x.pl3"));
    try {
        WritePlaylistFile(p, {QStringLiteral("a")});
        FAIL() << "no error";
    } catch (const PlaylistError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(
            QStringLiteral("Cannot create file \"%1\". ").arg(p)))
            << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(p));
}

TEST_F(PlaylistFileTest, InterruptedSaveLeavesTheOldFileWhole) {
    // The disk fills up in the middle of the save: writes beyond a small file
    // size limit fail, as they do on a full disk.
    const QString p = file(QStringLiteral("morning.pl3"));
    const QByteArray old = "/old/a.mp3\r\n/old/b.mp3\r\n";
    writeBytes(p, old);
    QStringList big;
    for (int i = 0; i < 500; ++i)
        big << QStringLiteral("/home/广播/音乐/歌曲%1.mp3").arg(i);

    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    std::string what;
    try {
        WritePlaylistFile(p, big);
    } catch (const PlaylistError& e) {
        failed = true;
        what = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(failed);
    EXPECT_TRUE(QString::fromStdString(what).startsWith(QStringLiteral("Cannot create file \"")))
        << what;
    EXPECT_EQ(readBytes(p), old);
    // No half-written temporary file is left beside it.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("morning.pl3")});
}
