#include "search/SearchCriteria.h"

#include <QScopeGuard>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

QDateTime FoundFileRecord::EntryTime() const {
    return QDateTime::fromMSecsSinceEpoch(ModifiedMs);
}

// --- attributes ---------------------------------------------------------------

namespace {
struct AttributePair {
    TFileAttribute flag;
    quint32 bit;
};
constexpr AttributePair attributePairs[] = {
    {ffArchive, FileAttr::Archive},     {ffReadonly, FileAttr::Readonly},
    {ffHidden, FileAttr::Hidden},       {ffSystem, FileAttr::System},
    {ffDirectory, FileAttr::Directory},
};
// The bits the basic attribute test looks at.
constexpr quint32 basicAttributes = FileAttr::Readonly | FileAttr::Hidden | FileAttr::System |
                                    FileAttr::Directory | FileAttr::Archive;
} // namespace

TFileAttributes TAttributeCriteria::Attributes() const {
    TFileAttributes result;
    for (const AttributePair& pair : attributePairs)
        if (AttributeMask & pair.bit)
            result |= pair.flag;
    return result;
}

void TAttributeCriteria::setAttributes(TFileAttributes attributes) {
    AttributeMask = 0;
    for (const AttributePair& pair : attributePairs)
        if (attributes.testFlag(pair.flag))
            AttributeMask |= pair.bit;
}

bool TAttributeCriteria::Matches(quint32 entryAttr) const {
    const quint32 attr = entryAttr & basicAttributes;
    return ExactMatch ? attr == AttributeMask : (attr & ~AttributeMask) == 0;
}

TFileAttributeStatus TAttributeCriteriaEx::status(quint32 bit) const {
    if (MustBeSet & bit)
        return fsSet;
    if (MustBeClear & bit)
        return fsUnset;
    return fsIgnore;
}

void TAttributeCriteriaEx::setStatus(quint32 bit, TFileAttributeStatus status) {
    MustBeSet &= ~bit;
    MustBeClear &= ~bit;
    if (status == fsSet)
        MustBeSet |= bit;
    else if (status == fsUnset)
        MustBeClear |= bit;
}

bool TAttributeCriteriaEx::Matches(quint32 entryAttr) const {
    return (entryAttr & MustBeSet) == MustBeSet && (entryAttr & MustBeClear) == 0;
}

// --- time stamps --------------------------------------------------------------

double TDateTimeCriteria::toOleDate(const QDateTime& dateTime) {
    static const QDate epoch(1899, 12, 30);
    return double(epoch.daysTo(dateTime.date())) +
           double(dateTime.time().msecsSinceStartOfDay()) / 86400000.0;
}

double TDateTimeCriteria::FileTimeToLocalDateTime(qint64 utcMs) {
    return toOleDate(QDateTime::fromMSecsSinceEpoch(utcMs));
}

bool TDateTimeCriteria::DateTimeInRange(double t, double after, double before) {
    auto wholeDays = [](double v) { return std::trunc(v); };
    auto fraction = [&](double v) { return v - wholeDays(v); };
    if (before != 0) {
        if (fraction(before) == 0) {
            if (wholeDays(t) > before)
                return false;
        } else if (wholeDays(before) == 0) {
            if (fraction(t) > before)
                return false;
        } else if (t > before) {
            return false;
        }
    }
    if (after != 0) {
        if (fraction(after) == 0) {
            if (wholeDays(t) < after)
                return false;
        } else if (wholeDays(after) == 0) {
            if (fraction(t) < after)
                return false;
        } else if (t < after) {
            return false;
        }
    }
    return true;
}

bool TDateTimeCriteria::Matches(qint64 createdMs, qint64 modifiedMs, qint64 accessedMs) const {
    auto pairMatches = [](qint64 ms, double after, double before) {
        return (after == 0 && before == 0) ||
               DateTimeInRange(FileTimeToLocalDateTime(ms), after, before);
    };
    return pairMatches(createdMs, CreatedAfter, CreatedBefore) &&
           pairMatches(modifiedMs, ModifiedAfter, ModifiedBefore) &&
           pairMatches(accessedMs, AccessedAfter, AccessedBefore);
}

// --- character tables ---------------------------------------------------------

namespace {
struct Tables {
    uchar identity[256];
    uchar lower[256];
    bool delimiter[256];
    constexpr Tables() : identity(), lower(), delimiter() {
        for (int b = 0; b < 256; ++b) {
            identity[b] = uchar(b);
            lower[b] = (b >= 'A' && b <= 'Z') ? uchar(b + 32) : uchar(b);
            const bool alphaNumeric = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                                      (b >= '0' && b <= '9') || b >= 0x80;
            delimiter[b] = !alphaNumeric;
        }
    }
};
constexpr Tables tables;
} // namespace

namespace CharTables {
const uchar* identity() {
    return tables.identity;
}
const uchar* lowerCase() {
    return tables.lower;
}
bool isDelimiter(uchar byte) {
    return tables.delimiter[byte];
}
} // namespace CharTables

// --- content ------------------------------------------------------------------

TContentCriteria::TContentCriteria() : m_table(CharTables::lowerCase()) {
    recompute();
}

void TContentCriteria::setPhrase(const QByteArray& phrase) {
    if (phrase == m_phrase)
        return;
    m_phrase = phrase;
    recompute();
}

void TContentCriteria::setIgnoreCase(bool ignoreCase) {
    if (ignoreCase == m_ignoreCase)
        return;
    m_ignoreCase = ignoreCase;
    recompute();
}

void TContentCriteria::recompute() {
    m_table = m_ignoreCase ? CharTables::lowerCase() : CharTables::identity();
    m_searchPhrase = m_phrase;
    for (char& c : m_searchPhrase)
        c = char(m_table[uchar(c)]);
    // Skip table of the scan: after looking at the byte under the phrase's
    // last position, the phrase can move on until that byte meets its
    // rightmost earlier occurrence in the phrase.
    const int length = PhraseLength();
    m_skip.fill(std::max(length, 1));
    for (int i = 0; i + 1 < length; ++i)
        m_skip[uchar(m_searchPhrase[i])] = length - 1 - i;
}

bool TContentCriteria::Matches(const QByteArray& nativePath, const std::atomic<bool>* abort) const {
    return PhraseLength() < 1 || FileContainsPhrase(nativePath, abort);
}

bool TContentCriteria::FileContainsPhrase(const QByteArray& nativePath,
                                          const std::atomic<bool>* abort) const {
    const qint64 length = PhraseLength();
    if (length < 1)
        return true;
    // Opening never waits: a pipe or device is refused after the open.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < length)
        return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // One block at a time; the last phrase-length bytes of a block are kept
    // in front of the next, so a match across the boundary is seen whole.
    qint64 capacity = length <= blockSize / 2 ? blockSize : 2 * length + 1;
    capacity = std::min<qint64>(capacity, qint64(info.st_size) + 1);
    const std::unique_ptr<uchar[]> buffer(new uchar[capacity]);
    uchar* const buf = buffer.get();
    const uchar* const table = m_table;
    const uchar* const phrase = reinterpret_cast<const uchar*>(m_searchPhrase.constData());
    const uchar lastOfPhrase = phrase[length - 1];
    uchar byteBefore = 0; // the byte before the buffer's first; 0 before the file
    qint64 count = 0;
    bool atEnd = false;

    // Whether the phrase stands at p and, for whole words, is bounded there. A
    // match that ends with the bytes in the buffer is decided once more bytes
    // follow: the kept bytes bring that start back in the next round.
    const auto foundAt = [&](qint64 p) {
        for (qint64 i = 0; i < length; ++i)
            if (table[buf[p + i]] != phrase[i])
                return false;
        if (!WholeWord)
            return true;
        if (!CharTables::isDelimiter(p > 0 ? buf[p - 1] : byteBefore))
            return false;
        return p + length < count ? CharTables::isDelimiter(buf[p + length]) : atEnd;
    };
#ifdef __SSE2__
    // A byte ORed with 0x20 equals a lower-case letter exactly when it is that
    // letter in either case; other bytes are compared as they are.
    const auto foldFor = [&](uchar c) {
        return _mm_set1_epi8(table != CharTables::identity() && c >= 'a' && c <= 'z' ? 0x20 : 0);
    };
    const __m128i headByte = _mm_set1_epi8(char(phrase[0]));
    const __m128i tailByte = _mm_set1_epi8(char(lastOfPhrase));
    const __m128i headFold = foldFor(phrase[0]);
    const __m128i tailFold = foldFor(lastOfPhrase);
#endif

    for (;;) {
        if (abort && abort->load(std::memory_order_relaxed))
            return false;
        while (count < capacity && !atEnd) {
            const ssize_t got = ::read(fd, buf + count, size_t(capacity - count));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (got == 0)
                atEnd = true;
            count += got;
        }
        const qint64 lastStart = count - length;
        qint64 p = 0;
#ifdef __SSE2__
        // Sixteen starts at a time: only where both the first and the last
        // byte of the phrase fit is the whole phrase compared.
        for (; p + 15 <= lastStart; p += 16) {
            const __m128i head =
                _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + p)), headFold);
            const __m128i tail = _mm_or_si128(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + p + length - 1)), tailFold);
            unsigned hits = unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(head, headByte), _mm_cmpeq_epi8(tail, tailByte))));
            for (; hits; hits &= hits - 1)
                if (foundAt(p + __builtin_ctz(hits)))
                    return true;
        }
#endif
        while (p <= lastStart) {
            const uchar under = table[buf[p + length - 1]];
            if (under == lastOfPhrase && foundAt(p))
                return true;
            p += m_skip[under];
        }
        if (atEnd)
            return false;
        // The buffer is full (capacity > length): keep its last length bytes.
        byteBefore = buf[count - length - 1];
        std::memmove(buf, buf + count - length, size_t(length));
        count = length;
    }
}

// --- exclusion masks ----------------------------------------------------------

bool WildcardMatch(const QString& text, const QString& pattern) {
    qsizetype t = 0;
    qsizetype p = 0;
    while (t < text.size() && p < pattern.size()) {
        const QChar c = pattern[p];
        if (c == u'*')
            return true;
        if (c != u'?' && c.toLower() != text[t].toLower())
            return false;
        ++t;
        ++p;
    }
    if (p == pattern.size())
        return t == text.size();
    while (p < pattern.size() && (pattern[p] == u'*' || pattern[p] == u'?'))
        ++p;
    return p == pattern.size();
}

namespace {
// Base and extension at the last dot; the extension keeps its dot.
std::pair<QString, QString> splitExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}
} // namespace

bool FileNameMatches(const QString& name, const QString& mask) {
    const auto [maskBase, maskExtension] = splitExtension(mask);
    auto [nameBase, nameExtension] = splitExtension(name);
    if (maskExtension.isEmpty())
        return WildcardMatch(nameBase, maskBase);
    if (nameExtension.isEmpty())
        nameExtension = QStringLiteral(".");
    return WildcardMatch(nameExtension, maskExtension) && WildcardMatch(nameBase, maskBase);
}

bool ExcludeMaskMatches(const QString& folder, const QString& name, const QString& mask) {
    const qsizetype slash = mask.lastIndexOf(u'/');
    const QString maskPath = mask.left(slash + 1);
    const QString maskName = mask.mid(slash + 1);
    if (!maskPath.isEmpty() && !folder.endsWith(maskPath, Qt::CaseSensitive))
        return false;
    return maskName.isEmpty() || FileNameMatches(name, maskName);
}

bool IsExcluded(const QStringList& masks, const QString& folder, const QString& name) {
    for (qsizetype i = masks.size() - 1; i >= 0; --i)
        if (ExcludeMaskMatches(folder, name, masks[i]))
            return true;
    return false;
}
