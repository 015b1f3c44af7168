#include "search/SearchCriteria.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int block = TContentCriteria::blockSize;

class ContentScan : public ::testing::Test {
protected:
    QByteArray write(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("f%1.txt").arg(++files));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return QFile::encodeName(path);
    }
    bool contains(const QByteArray& content, const QByteArray& phrase, bool wholeWord,
                  bool ignoreCase = true) {
        TContentCriteria c;
        c.setPhrase(phrase);
        c.setIgnoreCase(ignoreCase);
        c.WholeWord = wholeWord;
        return c.Matches(write(content));
    }
    QTemporaryDir dir;
    int files = 0;
};
} // namespace

TEST(Attributes, DefaultsPassFilesAndRefuseFolders) {
    TAttributeCriteria a;
    EXPECT_EQ(a.AttributeMask, 0x27u);
    EXPECT_EQ(a.Attributes(), ffArchive | ffReadonly | ffHidden | ffSystem);
    EXPECT_TRUE(a.Matches(0));
    EXPECT_TRUE(a.Matches(FileAttr::Hidden | FileAttr::Readonly | FileAttr::ReparsePoint));
    EXPECT_FALSE(a.Matches(FileAttr::Directory));

    a.setAttributes(ffDirectory | ffHidden);
    EXPECT_EQ(a.AttributeMask, FileAttr::Directory | FileAttr::Hidden);
    EXPECT_TRUE(a.Matches(FileAttr::Directory));
    EXPECT_FALSE(a.Matches(FileAttr::Readonly));
    a.ExactMatch = true;
    EXPECT_FALSE(a.Matches(FileAttr::Directory));
    EXPECT_TRUE(a.Matches(FileAttr::Directory | FileAttr::Hidden | FileAttr::Temporary));
}

TEST(Attributes, ExtendedBitsMustBeSetOrClear) {
    TAttributeCriteriaEx x;
    EXPECT_TRUE(x.Matches(0xFFFF));
    x.setStatus(FileAttr::ReparsePoint, fsSet);
    x.setStatus(FileAttr::Hidden, fsUnset);
    EXPECT_EQ(x.status(FileAttr::ReparsePoint), fsSet);
    EXPECT_EQ(x.status(FileAttr::Hidden), fsUnset);
    EXPECT_EQ(x.status(FileAttr::Archive), fsIgnore);
    EXPECT_TRUE(x.Matches(FileAttr::ReparsePoint | FileAttr::Readonly));
    EXPECT_FALSE(x.Matches(FileAttr::ReparsePoint | FileAttr::Hidden));
    EXPECT_FALSE(x.Matches(FileAttr::Readonly));
    x.setStatus(FileAttr::ReparsePoint, fsUnset); // moves the bit to the other mask
    EXPECT_EQ(x.MustBeSet, 0u);
    EXPECT_EQ(x.MustBeClear, FileAttr::Hidden | FileAttr::ReparsePoint);
}

TEST(TimeBounds, DateTimeAndFullBoundsAreInclusive) {
    const double day = 45000; // a date without time
    const double noon = 0.5;  // a time of day
    // Date bounds compare the day only.
    EXPECT_TRUE(TDateTimeCriteria::DateTimeInRange(day + 0.99, day, day));
    EXPECT_FALSE(TDateTimeCriteria::DateTimeInRange(day + 1.01, 0, day));
    EXPECT_FALSE(TDateTimeCriteria::DateTimeInRange(day - 0.01, day, 0));
    // Time-of-day bounds compare the time on any day.
    EXPECT_TRUE(TDateTimeCriteria::DateTimeInRange(day + 0.5, noon, 0));
    EXPECT_TRUE(TDateTimeCriteria::DateTimeInRange(day - 300 + 0.25, 0, noon));
    EXPECT_FALSE(TDateTimeCriteria::DateTimeInRange(day + 0.75, 0, noon));
    // Full bounds compare the whole value.
    EXPECT_TRUE(TDateTimeCriteria::DateTimeInRange(day + 0.5, day + 0.5, day + 0.5));
    EXPECT_FALSE(TDateTimeCriteria::DateTimeInRange(day + 0.4, day + 0.5, 0));

    // Through the file times: local time, each pair on its own stamp.
    const QDateTime t(QDate(2023, 3, 14), QTime(15, 30));
    EXPECT_EQ(TDateTimeCriteria::toOleDate(QDateTime(QDate(1899, 12, 31), QTime(6, 0))), 1.25);
    TDateTimeCriteria c;
    EXPECT_TRUE(c.Matches(0, 0, 0));
    c.ModifiedAfter = TDateTimeCriteria::toOleDate(QDateTime(QDate(2023, 3, 14), QTime()));
    EXPECT_TRUE(c.Matches(0, t.toMSecsSinceEpoch(), 0));
    EXPECT_FALSE(c.Matches(t.toMSecsSinceEpoch(), t.addDays(-1).toMSecsSinceEpoch(), 0));
    c.AccessedBefore = 15.0 / 24; // accessed by 15:00
    EXPECT_FALSE(c.Matches(0, t.toMSecsSinceEpoch(), t.toMSecsSinceEpoch()));
    EXPECT_TRUE(c.Matches(0, t.toMSecsSinceEpoch(), t.addSecs(-3600).toMSecsSinceEpoch()));
}

TEST(SizeBounds, ZeroMeansNoBoundAndBothEndsCount) {
    TSizeCriteria s;
    EXPECT_TRUE(s.Matches(0));
    EXPECT_TRUE(s.Matches(Q_INT64_C(5) << 30));
    s.Min = 1024;
    s.Max = Q_INT64_C(6) << 30;
    EXPECT_FALSE(s.Matches(1023));
    EXPECT_TRUE(s.Matches(1024));
    EXPECT_TRUE(s.Matches(Q_INT64_C(6) << 30)); // beyond 32 bits
    EXPECT_FALSE(s.Matches((Q_INT64_C(6) << 30) + 1));
}

TEST(Wildcards, WalkTextAndPatternTogether) {
    EXPECT_TRUE(WildcardMatch(QStringLiteral("abc"), QStringLiteral("a*z")));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("ab"), QStringLiteral("ab?")));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("abc"), QStringLiteral("ab?")));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("abcd"), QStringLiteral("abc")));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("ab"), QStringLiteral("abc")));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("README"), QStringLiteral("readme")));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("歌曲"), QStringLiteral("歌?")));
    EXPECT_TRUE(WildcardMatch(QString(), QStringLiteral("*?")));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("x"), QString()));
}

TEST(Exclusions, FolderTailsNameMasksAndBaseNames) {
    const QString mask = QStringLiteral("/tmp/*.tmp");
    EXPECT_TRUE(ExcludeMaskMatches(QStringLiteral("/var/tmp/"), QStringLiteral("a.TMP"), mask));
    EXPECT_TRUE(ExcludeMaskMatches(QStringLiteral("/tmp/"), QStringLiteral("b.tmp"), mask));
    EXPECT_FALSE(ExcludeMaskMatches(QStringLiteral("/tmp/x/"), QStringLiteral("b.tmp"), mask));
    EXPECT_FALSE(ExcludeMaskMatches(QStringLiteral("/var/Tmp/"), QStringLiteral("b.tmp"), mask));
    EXPECT_FALSE(ExcludeMaskMatches(QStringLiteral("/tmp/"), QStringLiteral("b.txt"), mask));
    // A folder tail alone excludes everything in such folders.
    EXPECT_TRUE(ExcludeMaskMatches(QStringLiteral("/srv/cache/"), QStringLiteral("x"),
                                   QStringLiteral("cache/")));

    EXPECT_TRUE(FileNameMatches(QStringLiteral("old.bak"), QStringLiteral("*.bak")));
    EXPECT_FALSE(FileNameMatches(QStringLiteral("bak"), QStringLiteral("*.bak")));
    EXPECT_FALSE(FileNameMatches(QStringLiteral("old.bak.mp3"), QStringLiteral("*.bak")));
    EXPECT_TRUE(FileNameMatches(QStringLiteral("readme.txt"), QStringLiteral("readme")));
    EXPECT_TRUE(FileNameMatches(QStringLiteral("ReadMe"), QStringLiteral("readme")));
    EXPECT_FALSE(FileNameMatches(QStringLiteral("readme2.txt"), QStringLiteral("readme")));

    const QStringList masks{QStringLiteral("*.bak"), QStringLiteral("/tmp/")};
    EXPECT_TRUE(IsExcluded(masks, QStringLiteral("/home/"), QStringLiteral("a.bak")));
    EXPECT_TRUE(IsExcluded(masks, QStringLiteral("/tmp/"), QStringLiteral("a.mp3")));
    EXPECT_FALSE(IsExcluded(masks, QStringLiteral("/home/"), QStringLiteral("a.mp3")));
}

TEST_F(ContentScan, WholeWordsAtTheEndsOfTheFile) {
    EXPECT_TRUE(contains("School bell", "school", true));
    EXPECT_TRUE(contains("the bell", "BELL", true));
    EXPECT_TRUE(contains("bell", "bell", true));
    EXPECT_FALSE(contains("bells ring", "bell", true));
    EXPECT_FALSE(contains("a doorbell", "bell", true));
    EXPECT_FALSE(contains("bell9", "bell", true));
    EXPECT_TRUE(contains("doorbell9, bell.", "bell", true)); // a later occurrence qualifies
    EXPECT_TRUE(contains("bells", "bell", false));
    EXPECT_FALSE(contains("Bell", "bell", false, false));
    EXPECT_FALSE(contains("an abab-c", "abc", false));
    EXPECT_TRUE(contains("aaab", "aab", false)); // restart after a failed candidate
}

TEST_F(ContentScan, MatchesAcrossTheBlockBoundary) {
    QByteArray across(block - 3, 'x');
    across += " bell ";
    across += QByteArray(1000, 'y');
    EXPECT_TRUE(contains(across, "bell", true));

    // A match that ends exactly at a block's end is decided by the next byte.
    QByteArray atEnd(block - 5, 'x');
    atEnd += " bell";
    EXPECT_TRUE(contains(atEnd + " more", "bell", true));
    EXPECT_FALSE(contains(atEnd + "s more", "bell", true));
    EXPECT_TRUE(contains(atEnd, "bell", true)); // the file ends right there

    QByteArray longPhrase(block, 'q');
    EXPECT_TRUE(contains(QByteArray("a ") + longPhrase + " b", longPhrase, true));
    EXPECT_FALSE(contains(longPhrase + "s", longPhrase, true));
}

TEST_F(ContentScan, ShortUnreadableAndEmptyCases) {
    EXPECT_FALSE(contains("bel", "bell", false));
    EXPECT_FALSE(contains(QByteArray(), "bell", false));
    EXPECT_TRUE(contains(QByteArray(), QByteArray(), true)); // no phrase: every entry

    TContentCriteria c;
    c.setPhrase(QByteArray("bell"));
    EXPECT_FALSE(c.Matches(QFile::encodeName(dir.filePath(QStringLiteral("missing")))));
    EXPECT_FALSE(c.Matches(QFile::encodeName(dir.path()))); // a folder is no file
    const QByteArray locked = write("bell");
    ::chmod(locked.constData(), 0);
    if (::geteuid() != 0) { // root reads it anyway
        EXPECT_FALSE(c.Matches(locked));
    }
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(c.Matches(fifo)); // refused at once, never waits for a writer

    std::atomic<bool> abort{true};
    EXPECT_FALSE(c.Matches(write("bell"), &abort));
}

// The scan against a plain reading of the rule, on random texts of a small
// alphabet (so phrases occur often) and lengths that cross the block size.
TEST_F(ContentScan, AgreesWithAPlainReadingOfTheRule) {
    auto expected = [](const QByteArray& text, QByteArray phrase, bool wholeWord, bool ignoreCase) {
        const QByteArray haystack = ignoreCase ? text.toLower() : text;
        if (ignoreCase)
            phrase = phrase.toLower();
        for (qsizetype at = haystack.indexOf(phrase); at >= 0;
             at = haystack.indexOf(phrase, at + 1)) {
            const qsizetype end = at + phrase.size();
            if (!wholeWord || ((at == 0 || CharTables::isDelimiter(uchar(text[at - 1]))) &&
                               (end == text.size() || CharTables::isDelimiter(uchar(text[end])))))
                return true;
        }
        return false;
    };
    QRandomGenerator random(11);
    const QByteArray alphabet("aAbB _9[{");
    auto randomText = [&](qsizetype length) {
        QByteArray t(length, ' ');
        for (char& c : t)
            c = alphabet[random.bounded(int(alphabet.size()))];
        return t;
    };
    for (int round = 0; round < 300; ++round) {
        const qsizetype length =
            round % 10 == 0 ? block + random.bounded(3 * block) : random.bounded(400);
        const QByteArray text = randomText(length);
        const QByteArray phrase = randomText(1 + random.bounded(round % 10 == 0 ? 12 : 4));
        const bool wholeWord = random.bounded(2);
        const bool ignoreCase = random.bounded(2);
        ASSERT_EQ(contains(text, phrase, wholeWord, ignoreCase),
                  expected(text, phrase, wholeWord, ignoreCase))
            << "round " << round << " phrase " << phrase.constData();
    }
}

TEST(ContentCriteria, DerivedStateFollowsPhraseAndCase) {
    TContentCriteria c;
    EXPECT_TRUE(c.IgnoreCase());
    c.setPhrase(QStringLiteral("Bell 歌"));
    EXPECT_EQ(c.PhraseLength(), 8);
    EXPECT_EQ(c.SearchPhrase(), QStringLiteral("bell 歌").toUtf8());
    c.setIgnoreCase(false);
    EXPECT_EQ(c.SearchPhrase(), QStringLiteral("Bell 歌").toUtf8());
    EXPECT_EQ(c.CharTable(), CharTables::identity());
    TContentCriteria copy;
    copy = c;
    EXPECT_EQ(copy.SearchPhrase(), c.SearchPhrase());
    EXPECT_TRUE(CharTables::isDelimiter(0));
    EXPECT_TRUE(CharTables::isDelimiter('_'));
    EXPECT_FALSE(CharTables::isDelimiter(0xE6));
}
