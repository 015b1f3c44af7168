#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFlags>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>

// The conditions a file search applies to every directory entry it meets,
// and the tests themselves.
//
// Letter case on Linux:
// - Folder paths are compared exactly, as the file system does: /srv/Music and
//   /srv/music are two folders, and an exclusion's folder tail matches only
//   when it is written with the same letters.
// - File-name masks match without regard to letter case: *.mp3 finds
//   SONG.MP3, as operators expect from a song search.

// Attribute bits of an entry. Linux has no such bits; they are derived from
// the stat data (see FoundFileRecord) and keep their familiar values, which
// the masks of the criteria below are written in.
namespace FileAttr {
constexpr quint32 Readonly = 0x1;
constexpr quint32 Hidden = 0x2;
constexpr quint32 System = 0x4;
constexpr quint32 VolumeLabel = 0x8;
constexpr quint32 Directory = 0x10;
constexpr quint32 Archive = 0x20;
constexpr quint32 Temporary = 0x100;
constexpr quint32 SparseFile = 0x200;
constexpr quint32 ReparsePoint = 0x400;
constexpr quint32 Compressed = 0x800;
constexpr quint32 Offline = 0x1000;
constexpr quint32 Encrypted = 0x4000;
} // namespace FileAttr

// One directory entry as the enumeration found it. On Linux the attribute
// bits are: Directory for a folder, Readonly when the entry is not writable
// for this process's user, Hidden for names that begin with a dot, and
// ReparsePoint for a symbolic link (whose other data are those of the file
// it points to). Times are UTC milliseconds since 1970.
struct FoundFileRecord {
    QString EntryName;    // name without folder
    qint64 EntrySize = 0; // the full size in bytes
    quint32 EntryAttr = 0;
    qint64 ModifiedMs = 0;
    qint64 CreatedMs = 0; // birth time where the file system keeps one, else the last write
    qint64 AccessedMs = 0;

    // The last-write time in local time.
    QDateTime EntryTime() const;
};

enum TFileAttribute {
    ffArchive = 0x1,
    ffReadonly = 0x2,
    ffHidden = 0x4,
    ffSystem = 0x8,
    ffDirectory = 0x10,
};
Q_DECLARE_FLAGS(TFileAttributes, TFileAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFileAttributes)

// Which of the basic attributes an entry may (or must exactly) have.
class TAttributeCriteria {
public:
    static constexpr quint32 defaultMask = 0x27; // all but Directory

    TFileAttributes Attributes() const;
    void setAttributes(TFileAttributes attributes);

    // Without ExactMatch every attribute of the entry must be in the mask (an
    // entry with none passes); with it the entry's attributes equal the mask.
    bool Matches(quint32 entryAttr) const;

    quint32 AttributeMask = defaultMask;
    bool ExactMatch = false;
};

enum TFileAttributeStatus { fsIgnore, fsSet, fsUnset };

// Attribute bits that must be set or must be clear.
class TAttributeCriteriaEx {
public:
    // bit: one of the FileAttr values Archive … Encrypted.
    TFileAttributeStatus status(quint32 bit) const;
    void setStatus(quint32 bit, TFileAttributeStatus status);

    bool Matches(quint32 entryAttr) const;

    quint32 MustBeSet = 0;
    quint32 MustBeClear = 0;
};

// Bounds on the three time stamps, as OLE Automation dates (days since
// 30 December 1899, time of day as the fraction; local time); 0 means no
// bound. A bound without fraction is a date and compares with the day of the
// time stamp; a bound below 1 is a time of day and compares with its time;
// anything else compares the whole date and time. Bounds are inclusive.
class TDateTimeCriteria {
public:
    bool Matches(qint64 createdMs, qint64 modifiedMs, qint64 accessedMs) const;

    static bool DateTimeInRange(double t, double after, double before);
    // UTC milliseconds since 1970 as a local OLE Automation date.
    static double FileTimeToLocalDateTime(qint64 utcMs);
    static double toOleDate(const QDateTime& dateTime);

    double CreatedBefore = 0;
    double CreatedAfter = 0;
    double ModifiedBefore = 0;
    double ModifiedAfter = 0;
    double AccessedBefore = 0;
    double AccessedAfter = 0;
};

// Inclusive size bounds in bytes; 0 means no bound.
class TSizeCriteria {
public:
    bool Matches(qint64 size) const {
        return (Min == 0 || size >= Min) && (Max == 0 || size <= Max);
    }

    qint64 Min = 0;
    qint64 Max = 0;
};

// A phrase the file's content must contain. The phrase is compared byte for
// byte with the file (UTF-8 on this system); IgnoreCase folds the letters
// A–Z. A whole word is bounded by the file's ends or by bytes other than
// ASCII letters and digits; bytes from 0x80 on belong to words, since they
// are parts of UTF-8 letters.
class TContentCriteria {
public:
    static constexpr int blockSize = 61440;

    TContentCriteria();

    QByteArray Phrase() const { return m_phrase; }
    void setPhrase(const QByteArray& phrase);
    void setPhrase(const QString& phrase) { setPhrase(phrase.toUtf8()); }
    bool IgnoreCase() const { return m_ignoreCase; }
    void setIgnoreCase(bool ignoreCase);
    bool WholeWord = false;

    int PhraseLength() const { return int(m_phrase.size()); }
    const QByteArray& SearchPhrase() const { return m_searchPhrase; }
    const uchar* CharTable() const { return m_table; }

    // True when no phrase is set, else whether the file contains it. A file
    // that is not a regular file or cannot be read does not match. abort,
    // when given, is polled between blocks.
    bool Matches(const QByteArray& nativePath, const std::atomic<bool>* abort = nullptr) const;
    bool FileContainsPhrase(const QByteArray& nativePath,
                            const std::atomic<bool>* abort = nullptr) const;

private:
    void recompute();

    QByteArray m_phrase;
    bool m_ignoreCase = true;
    QByteArray m_searchPhrase;
    const uchar* m_table;
    std::array<int, 256> m_skip{}; // how far the scan may move after a mismatch
};

// The shared character tables of the content scan.
namespace CharTables {
const uchar* identity();
const uchar* lowerCase();     // A–Z to a–z, every other byte unchanged
bool isDelimiter(uchar byte); // not an ASCII letter or digit and below 0x80
} // namespace CharTables

// Names and folders to search.
class TFileCriteria {
public:
    QString FileName;     // ";"-separated file masks used in every folder of Location
    QString Location;     // ";"-separated folders
    QStringList Included; // folder path followed by a file mask, each
    QStringList Excluded; // exclusion masks: optional folder tail, optional name mask
    bool Subfolders = true;
    quint16 MinLevel = 0; // depth from which entries are reported; the folder itself is 1
    quint16 MaxLevel = 0; // deepest depth entered; 0 means no limit
};

// Everything one search looks for.
class TSearchCriteria {
public:
    TFileCriteria Files;
    TAttributeCriteria Attribute;
    TAttributeCriteriaEx AttributeEx;
    TDateTimeCriteria TimeStamp;
    TSizeCriteria Size;
    TContentCriteria Content;
};

// Exclusion masks and their matcher.
//
// WildcardMatch walks text and pattern together: "*" accepts whatever
// follows, "?" takes one character, any other character must equal the
// text's ignoring case. Past the text's end only "*" and "?" may remain.
// So a*z matches abc, ab? matches ab and abc, abc does not match abcd.
bool WildcardMatch(const QString& text, const QString& pattern);
// Base name and extension (from the last dot) matched separately; a mask
// without extension ignores the entry's extension.
bool FileNameMatches(const QString& name, const QString& mask);
// folder ends in "/"; mask is an optional folder tail through its last "/"
// (compared exactly with the end of folder) and an optional name mask.
bool ExcludeMaskMatches(const QString& folder, const QString& name, const QString& mask);
// The masks are tried from the last to the first.
bool IsExcluded(const QStringList& masks, const QString& folder, const QString& name);
