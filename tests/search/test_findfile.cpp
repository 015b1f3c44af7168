#include "support/Eventually.h"
#include "support/RecordingMessageService.h"

#include "search/FindFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace {
// A folder tree in a temporary folder, and a search over it whose events are
// written down as "folder <relative path>", "file <relative path>", "begin" …
class Walk : public ::testing::Test {
protected:
    void SetUp() override { root = dir.path() + u'/'; }

    void touch(const QString& relative, qint64 size = 0) {
        const QString path = root + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (size) {
            ASSERT_TRUE(f.resize(size));
        }
    }
    void folder(const QString& relative) { QDir().mkpath(root + relative); }
    QString rel(const QString& path) const { return QString(path).remove(root); }

    // Records every event (from any thread) on the engine.
    void record(TFindFile& engine) {
        engine.OnSearchBegin = [this](TFindFile*) { add(QStringLiteral("begin")); };
        engine.OnSearchAbort = [this](TFindFile*) { add(QStringLiteral("abort")); };
        engine.OnSearchFinish = [this](TFindFile* f) {
            add(f->AbortRequested() ? QStringLiteral("finish aborted") : QStringLiteral("finish"));
            finishedOnOwner = QThread::currentThread() == qApp->thread();
        };
        engine.OnFolderChange = [this](TFindFile* f, const QString& folder, TFolderIgnore& ignore) {
            add(QStringLiteral("folder ") + rel(folder));
            depths << f->FolderDepth();
            ignore = answers.value(rel(folder), fiNone);
        };
        engine.OnFileMatch = [this](TFindFile*, const QString& folder, const FoundFileRecord& r) {
            add(QStringLiteral("file ") + rel(folder) + r.EntryName);
            records << r;
        };
    }
    void add(const QString& event) {
        QMutexLocker lock(&mutex);
        events << event;
    }
    QStringList run(const QString& location, const QString& masks = QString()) {
        TFindFile engine;
        engine.Criteria() = criteria;
        engine.Criteria().Files.Location = location;
        engine.Criteria().Files.FileName = masks;
        record(engine);
        engine.StartSearch();
        return events;
    }
    QStringList files() const { return events.filter(QRegularExpression(QStringLiteral("^file"))); }

    QTemporaryDir dir;
    QString root;
    TSearchCriteria criteria;
    QMap<QString, TFolderIgnore> answers;
    QMutex mutex;
    QStringList events;
    QList<int> depths;
    QList<FoundFileRecord> records;
    bool finishedOnOwner = false;
};
} // namespace

TEST(Targets, NamingOrderDuplicatesAndPrefixes) {
    TFileCriteria f;
    f.Included = {QStringLiteral("/inc/*.pl3"), QStringLiteral("<rel/")};
    f.FileName = QStringLiteral(" *.mp3 ;*.MP3;; *.wma");
    f.Location = QStringLiteral("/b;/a;/b/;/srv/Music;/srv/music;>/c/./d/..;~/x");
    f.Subfolders = false;
    f.MinLevel = 2;
    f.MaxLevel = 3;
    const TTargetFolderList list = BuildTargetFolders(f, QStringLiteral("/cur"));
    QStringList paths;
    for (const TTargetFolder& t : list.Folders)
        paths << t.FolderPath;
    EXPECT_EQ(paths, (QStringList{"/inc/", "/cur/rel/", "/b/", "/a/", "/srv/Music/", "/srv/music/",
                                  "/c/", QDir::homePath() + "/x/"}));
    EXPECT_EQ(list.Folders[0].FileMasks, QStringList{"*.pl3"});
    EXPECT_EQ(list.Folders[1].FileMasks, QStringList{"*.*"}); // an entry without a name part
    // "/b" and "/b/" are one folder searched with both namings' masks.
    EXPECT_EQ(list.Folders[2].FileMasks, (QStringList{"*.mp3", "*.wma", "*.mp3", "*.wma"}));
    EXPECT_FALSE(list.Folders[2].Subfolders);
    EXPECT_TRUE(list.Folders[6].Subfolders); // ">" overrides
    EXPECT_FALSE(list.Folders[1].Subfolders);
    EXPECT_EQ(list.Folders[3].MinLevel, 2);
    EXPECT_EQ(list.Folders[3].MaxLevel, 3);

    EXPECT_EQ(SplitList(QStringLiteral("/a;/A;\t/a\n;"), Qt::CaseSensitive),
              (QStringList{"/a", "/A"}));
    EXPECT_TRUE(BuildTargetFolders(TFileCriteria(), QStringLiteral("/")).Folders.empty());
}

TEST_F(Walk, MasksLastToFirstFoldersInNamingOrder) {
    touch(QStringLiteral("one/abc.mp3"));
    touch(QStringLiteral("one/xabcx.WMA"));
    touch(QStringLiteral("one/ABC.MP3"));
    touch(QStringLiteral("one/abc.txt"));
    touch(QStringLiteral("one/sub/abc.mp3"));
    touch(QStringLiteral("two/abcd.mp3"));
    folder(QStringLiteral("one/empty"));
    const QStringList e = run(root + "two;" + root + "one;/no/such/folder", "*abc*.mp3;*abc*.wma");
    ASSERT_EQ(e.first(), "begin");
    ASSERT_EQ(e.last(), "finish");
    EXPECT_EQ(e.indexOf("folder two/"), 1);
    EXPECT_EQ(e[2], "file two/abcd.mp3");
    EXPECT_EQ(e[3], "folder one/");
    EXPECT_EQ(e[4], "file one/xabcx.WMA"); // the last mask first
    EXPECT_TRUE(e.mid(5, 2).contains("file one/abc.mp3"));
    EXPECT_TRUE(e.mid(5, 2).contains("file one/ABC.MP3")); // masks ignore letter case
    EXPECT_GT(e.indexOf("file one/sub/abc.mp3"), e.indexOf("folder one/sub/"));
    EXPECT_TRUE(e.contains("folder one/empty/"));
    // A folder that does not exist is still announced.
    EXPECT_EQ(e[e.size() - 2], "folder /no/such/folder/");
    EXPECT_EQ(files().size(), 5);
}

TEST_F(Walk, LevelsAndFolderAnswers) {
    touch(QStringLiteral("a.mp3"));
    touch(QStringLiteral("s/b.mp3"));
    touch(QStringLiteral("s/t/c.mp3"));
    touch(QStringLiteral("u/d.mp3"));
    touch(QStringLiteral("u/v/e.mp3"));
    criteria.Files.MinLevel = 2;
    run(root);
    EXPECT_EQ(files().size(), 4);
    EXPECT_FALSE(files().contains("file a.mp3"));
    EXPECT_EQ(*std::max_element(depths.begin(), depths.end()), 3);

    events.clear();
    criteria.Files.MinLevel = 0;
    criteria.Files.MaxLevel = 1;
    run(root);
    EXPECT_EQ(events, (QStringList{"begin", "folder ", "file a.mp3", "finish"}));

    events.clear();
    criteria.Files.MaxLevel = 0;
    answers = {{"s/", fiJustThis}, {"u/", fiJustSubfolders}, {"s/t/", fiThisAndSubfolders}};
    run(root);
    EXPECT_EQ(files(), (QStringList{"file a.mp3", "file u/d.mp3"}))
        << events.join(", ").toStdString();
    EXPECT_TRUE(events.contains("folder s/t/"));
    EXPECT_FALSE(events.contains("folder u/v/"));
}

TEST_F(Walk, LinksAreNeverEnteredAndFilesBehindLinksAreReported) {
    touch(QStringLiteral("music/song.mp3"), 100);
    ASSERT_EQ(::symlink(root.toUtf8().constData(), (root + "music/loop").toUtf8().constData()), 0);
    ASSERT_EQ(::symlink("song.mp3", (root + "music/alias.mp3").toUtf8().constData()), 0);
    ASSERT_EQ(::symlink("nowhere", (root + "music/broken.mp3").toUtf8().constData()), 0);
    run(root);
    EXPECT_EQ(events.filter("folder").size(), 2) << events.join(", ").toStdString();
    EXPECT_EQ(files().size(), 2);
    ASSERT_EQ(records.size(), 2);
    for (const FoundFileRecord& r : records) {
        EXPECT_EQ(r.EntrySize, 100);
        EXPECT_EQ(bool(r.EntryAttr & FileAttr::ReparsePoint), r.EntryName == "alias.mp3");
    }

    // With folders allowed, the link to a folder is listed but still not entered.
    events.clear();
    criteria.Attribute.setAttributes(criteria.Attribute.Attributes() | ffDirectory);
    run(root + "music");
    EXPECT_TRUE(files().contains("file music/loop"));
    EXPECT_EQ(events.filter("folder").size(), 1);
}

TEST_F(Walk, RecordsCarryStatData) {
    touch(QStringLiteral(".hidden.mp3"), 3);
    touch(QStringLiteral("big.mp3"), Q_INT64_C(5) << 30); // sparse, beyond 32 bits
    touch(QStringLiteral("ro.mp3"), 1);
    QFile::setPermissions(root + "ro.mp3", QFile::ReadOwner);
    folder(QStringLiteral("folder.mp3"));
    run(root, QStringLiteral("*.mp3"));
    QMap<QString, FoundFileRecord> byName;
    for (const FoundFileRecord& r : records)
        byName[r.EntryName] = r;
    ASSERT_EQ(byName.size(), 3); // the folder is not listed by default
    EXPECT_EQ(byName["big.mp3"].EntrySize, Q_INT64_C(5) << 30);
    EXPECT_EQ(byName[".hidden.mp3"].EntryAttr, FileAttr::Hidden);
    if (::geteuid() != 0) {
        EXPECT_EQ(byName["ro.mp3"].EntryAttr, FileAttr::Readonly);
    }
    EXPECT_NEAR(byName["big.mp3"].EntryTime().secsTo(QDateTime::currentDateTime()), 0, 60);

    events.clear();
    criteria.Attribute.setAttributes(ffDirectory);
    criteria.Attribute.ExactMatch = true;
    run(root, QStringLiteral("*.mp3"));
    EXPECT_EQ(files(), QStringList{"file folder.mp3"});
    criteria.Content.setPhrase(QByteArray("x")); // a phrase rules folders out
    criteria.Size.Max = 10;
    events.clear();
    run(root, QStringLiteral("*.mp3"));
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(Walk, ErrorsFinishTheSearch) {
    touch(QStringLiteral("a.mp3"));
    TFindFile engine;
    engine.Criteria().Files.Location = root;
    record(engine);
    engine.OnFileMatch = [](TFindFile*, const QString&, const FoundFileRecord&) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(engine.StartSearch(), std::runtime_error);
    EXPECT_EQ(events.last(), "finish");
    EXPECT_FALSE(engine.Searching());

    // Threaded, the failure is reported once the search has finished.
    RecordingMessageService messages;
    events.clear();
    engine.setThreaded(true);
    engine.StartSearch();
    EXPECT_EVENTUALLY(!engine.Searching());
    EXPECT_EQ(events.last(), "finish");
    EXPECT_EQ(messages.texts(), QStringList{"handler failed"});
}

TEST_F(Walk, ThreadedAbortWhileAHandlerWaitsForTheWindowThread) {
    for (int i = 0; i < 20; ++i)
        touch(QStringLiteral("f%1/a.mp3").arg(i));
    TFindFile engine;
    engine.setThreaded(true);
    engine.Criteria().Files.Location = root;
    record(engine);
    auto folderEvent = engine.OnFolderChange;
    int seen = 0;
    engine.OnFolderChange = [&](TFindFile* f, const QString& folder, TFolderIgnore& ignore) {
        folderEvent(f, folder, ignore);
        if (++seen == 3) // ask the window thread to stop, then wait for that thread
            QMetaObject::invokeMethod(
                qApp, [&] { engine.AbortSearch(); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::BlockingQueuedConnection);
    };
    engine.StartSearch();
    EXPECT_TRUE(engine.Searching());
    engine.StartSearch(); // ignored while it runs
    EXPECT_EVENTUALLY(!engine.Searching());
    EXPECT_EQ(events.count("begin"), 1);
    const qsizetype abort = events.indexOf("abort");
    ASSERT_GT(abort, 0) << events.join(", ").toStdString();
    EXPECT_EQ(events.mid(abort), (QStringList{"abort", "finish aborted"}));
    EXPECT_EQ(events.filter("folder").size(), 3);
    EXPECT_TRUE(finishedOnOwner);
    EXPECT_TRUE(engine.AbortRequested()); // until the next search
    engine.setThreaded(false);
    engine.OnFolderChange = folderEvent;
    engine.StartSearch();
    EXPECT_FALSE(engine.AbortRequested());
}

TEST_F(Walk, DestroyedDuringAThreadedSearch) {
    for (int i = 0; i < 50; ++i)
        touch(QStringLiteral("f%1/a.mp3").arg(i));
    auto engine = std::make_unique<TFindFile>();
    engine->setThreaded(true);
    engine->Criteria().Files.Location = root;
    record(*engine);
    std::atomic<int> matches{0};
    engine->OnFileMatch = [&](TFindFile*, const QString&, const FoundFileRecord&) {
        ++matches;
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::BlockingQueuedConnection);
    };
    engine->StartSearch();
    // One event at a time: each match waits for this thread, so the search
    // is still under way (blocked in its next match) when the engine goes.
    QElapsedTimer waited;
    waited.start();
    while (matches < 2 && waited.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    ASSERT_GE(matches, 2);
    engine.reset(); // waits for the worker without a deadlock
    const int after = matches;
    QTest::qWait(50);
    EXPECT_EQ(matches, after);
    EXPECT_FALSE(events.contains("finish"));
    EXPECT_FALSE(events.contains("abort"));
}
