#include "search/FindFile.h"

#include "base/MessageService.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// --- targets ------------------------------------------------------------------

namespace {
bool isBlankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
}

QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// ">" searches the folder with its subfolders, "<" without; the mark is removed.
bool takeSubfolderMark(QString& text, bool byDefault) {
    if (text.startsWith(u'>') || text.startsWith(u'<')) {
        const bool with = text.startsWith(u'>');
        text = trimmed(text.mid(1));
        return with;
    }
    return byDefault;
}
} // namespace

QStringList SplitList(const QString& text, Qt::CaseSensitivity caseSensitivity) {
    QStringList pieces;
    for (const QString& raw : text.split(u';')) {
        const QString piece = trimmed(raw);
        if (!piece.isEmpty() && !pieces.contains(piece, caseSensitivity))
            pieces << piece;
    }
    return pieces;
}

QString NormaliseFolder(const QString& path, const QString& currentFolder) {
    QString expanded = path;
    if (expanded == u'~' || expanded.startsWith(QLatin1String("~/")))
        expanded = QDir::homePath() + expanded.mid(1);
    QString absolute =
        expanded.isEmpty() ? currentFolder : QDir(currentFolder).absoluteFilePath(expanded);
    absolute = QDir::cleanPath(absolute);
    if (!absolute.isEmpty() && !absolute.endsWith(u'/'))
        absolute += u'/';
    return absolute;
}

TTargetFolder& TTargetFolderList::FolderFor(const QString& path, const QString& currentFolder) {
    const QString folder = NormaliseFolder(path, currentFolder);
    for (TTargetFolder& target : Folders)
        if (target.FolderPath == folder)
            return target;
    Folders.push_back(TTargetFolder{folder, true, {}, 0, 0});
    return Folders.back();
}

TTargetFolderList BuildTargetFolders(const TFileCriteria& files, const QString& currentFolder) {
    TTargetFolderList list;
    list.ExcludedMasks = files.Excluded;
    auto aim = [&](TTargetFolder& target, bool subfolders) {
        target.Subfolders = subfolders;
        target.MinLevel = files.MinLevel;
        target.MaxLevel = files.MaxLevel;
    };
    for (QString entry : files.Included) {
        const bool subfolders = takeSubfolderMark(entry, files.Subfolders);
        const qsizetype slash = entry.lastIndexOf(u'/');
        const QString name = entry.mid(slash + 1);
        TTargetFolder& target = list.FolderFor(entry.left(slash + 1), currentFolder);
        target.FileMasks << (name.isEmpty() ? QStringLiteral("*.*") : name);
        aim(target, subfolders);
    }
    QStringList masks = SplitList(files.FileName, Qt::CaseInsensitive);
    if (masks.isEmpty())
        masks << QStringLiteral("*.*");
    for (QString piece : SplitList(files.Location, Qt::CaseSensitive)) {
        const bool subfolders = takeSubfolderMark(piece, files.Subfolders);
        TTargetFolder& target = list.FolderFor(piece, currentFolder);
        target.FileMasks << masks;
        aim(target, subfolders);
    }
    return list;
}

TTargetSearch::TTargetSearch(const TSearchCriteria& criteria, const QString& currentFolder)
    : Targets(BuildTargetFolders(criteria.Files, currentFolder)), Attribute(criteria.Attribute),
      AttributeEx(criteria.AttributeEx), TimeStamp(criteria.TimeStamp), Size(criteria.Size),
      Content(criteria.Content) {
    // A folder has no content to search.
    if (Content.PhraseLength() > 0)
        Attribute.setAttributes(Attribute.Attributes() & ~TFileAttributes(ffDirectory));
}

bool TTargetSearch::FileMatches(const QString& folder, const QByteArray& nativePath,
                                const FoundFileRecord& entry,
                                const std::atomic<bool>* abort) const {
    return Size.Matches(entry.EntrySize) && Attribute.Matches(entry.EntryAttr) &&
           AttributeEx.Matches(entry.EntryAttr) &&
           TimeStamp.Matches(entry.CreatedMs, entry.ModifiedMs, entry.AccessedMs) &&
           !IsExcluded(Targets.ExcludedMasks, folder, entry.EntryName) &&
           Content.Matches(nativePath, abort);
}

// --- directory entries --------------------------------------------------------

namespace {
struct DirEntry {
    qsizetype offset; // of the NUL-terminated name in the name pool
    qsizetype length;
    uchar type;
};

qint64 milliseconds(const struct statx_timestamp& t) {
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool writableByUs(const struct statx& info) {
    static const uid_t user = ::geteuid();
    static const gid_t group = ::getegid();
    if (user == 0)
        return true;
    if (info.stx_uid == user)
        return info.stx_mode & S_IWUSR;
    if (info.stx_gid == group)
        return info.stx_mode & S_IWGRP;
    return info.stx_mode & S_IWOTH;
}

// The record of one entry of the open folder; false for a link that leads
// nowhere (or an entry that vanished meanwhile).
bool readEntry(int folder, const char* name, qsizetype length, uchar type,
               FoundFileRecord& record) {
    struct statx info;
    const unsigned wanted = STATX_BASIC_STATS | STATX_BTIME;
    bool link = type == DT_LNK;
    if (::statx(folder, name, link ? 0 : AT_SYMLINK_NOFOLLOW, wanted, &info) != 0)
        return false;
    if (!link && S_ISLNK(info.stx_mode)) { // the file system did not give the type
        link = true;
        if (::statx(folder, name, 0, wanted, &info) != 0)
            return false;
    }
    record.EntryName = QFile::decodeName(QByteArray::fromRawData(name, length));
    record.EntrySize = qint64(info.stx_size);
    record.ModifiedMs = milliseconds(info.stx_mtime);
    record.AccessedMs = milliseconds(info.stx_atime);
    record.CreatedMs =
        (info.stx_mask & STATX_BTIME) ? milliseconds(info.stx_btime) : record.ModifiedMs;
    quint32 attr = 0;
    if (S_ISDIR(info.stx_mode))
        attr |= FileAttr::Directory;
    if (!writableByUs(info))
        attr |= FileAttr::Readonly;
    if (name[0] == '.')
        attr |= FileAttr::Hidden;
    if (link)
        attr |= FileAttr::ReparsePoint;
    record.EntryAttr = attr;
    return true;
}

// Whether the entry is a real folder (a link to a folder is not).
bool isFolder(int folder, const char* name, uchar type) {
    if (type != DT_UNKNOWN)
        return type == DT_DIR;
    struct stat info;
    return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

// --- the component ------------------------------------------------------------

namespace {
// Linux ignores the lower thread priorities of ordinary threads (idle has a
// scheduling class of its own); a lower one is given as a higher nice value
// of the worker alone, so the window and the sound go first when the CPU is
// busy.
void lowerOwnPriority(QThread::Priority priority) {
    int nice = 0;
    if (priority == QThread::LowPriority)
        nice = 5;
    else if (priority == QThread::LowestPriority)
        nice = 10;
    if (nice)
        ::setpriority(PRIO_PROCESS, id_t(::gettid()), nice);
}
} // namespace

namespace {
// Runs this thread's pending events while it waits for the worker. Posted
// events are sent explicitly as well: when the wait itself began inside a
// posted event, the event loop does not enter that source again.
void serveEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}
} // namespace

TFindFile::TFindFile(QObject* owner) : QObject(owner) {}

TFindFile::~TFindFile() {
    m_destroying = true;
    if (!m_searching)
        return;
    AbortSearch(); // delivers nothing now
    if (m_searchThread) {
        // A handler may be waiting for this thread: keep serving it.
        while (!m_searchThread->wait(QDeadlineTimer(5)))
            serveEvents();
        delete m_searchThread;
    }
}

void TFindFile::StartSearch() {
    if (m_searching)
        return;
    PrepareSearch();
    try {
        NotifySearchBegin();
    } catch (...) {
        FinishSearch();
        throw;
    }
    if (!m_threaded) {
        try {
            RunSearch();
        } catch (...) {
            FinishSearch();
            throw;
        }
        FinishSearch();
        return;
    }
    try {
        m_searchThread = QThread::create([this] {
            lowerOwnPriority(m_priority);
            try {
                RunSearch();
            } catch (...) {
                m_workerError = std::current_exception();
            }
        });
        connect(m_searchThread, &QThread::finished, this, &TFindFile::searchThreadDone,
                Qt::QueuedConnection);
        m_searchThread->start(m_priority);
    } catch (...) {
        delete m_searchThread;
        m_searchThread = nullptr;
        FinishSearch();
        throw;
    }
}

void TFindFile::PrepareSearch() {
    m_searching = true;
    m_abortRequested = false;
    m_workerError = nullptr;
    m_targetSearch = std::make_unique<TTargetSearch>(m_criteria, QDir::currentPath());
}

void TFindFile::AbortSearch() {
    if (!m_searching || m_abortRequested)
        return;
    m_abortRequested = true;
    m_inAbort = true;
    // The lock is held while a handler runs on the worker; that handler may be
    // waiting for this thread, so this thread's events are served meanwhile.
    while (!m_eventLock.try_lock_for(std::chrono::milliseconds(2)))
        serveEvents();
    {
        const auto unlock = qScopeGuard([this] {
            m_eventLock.unlock();
            m_inAbort = false;
        });
        NotifySearchAbort();
    }
    // The worker may have ended while events were served here: its end is
    // delivered now, after the abort, so the order of events holds.
    if (m_finishDeferred) {
        m_finishDeferred = false;
        QMetaObject::invokeMethod(this, &TFindFile::searchThreadDone, Qt::QueuedConnection);
    }
}

void TFindFile::RunSearch() {
    for (const TTargetFolder& target : m_targetSearch->Targets.Folders) {
        if (m_abortRequested)
            break;
        m_folderDepth = 0;
        m_currentTarget = &target;
        m_currentMasks.clear();
        for (const QString& mask : target.FileMasks)
            m_currentMasks.emplace_back(mask);
        SearchFolder(QFile::encodeName(target.FolderPath));
    }
}

void TFindFile::SearchFolder(const QByteArray& nativeFolder) {
    if (m_abortRequested)
        return;
    ++m_folderDepth;
    const auto leave = qScopeGuard([this] { --m_folderDepth; });
    const QString folder = QFile::decodeName(nativeFolder);
    const TFolderIgnore ignore = NotifyFolderChange(folder);
    const TTargetFolder& target = *m_currentTarget;
    const bool searchEntries =
        (ignore == fiNone || ignore == fiJustSubfolders) && m_folderDepth >= target.MinLevel;
    const bool enterSubfolders = target.Subfolders && (ignore == fiNone || ignore == fiJustThis) &&
                                 (target.MaxLevel == 0 || m_folderDepth < target.MaxLevel);
    if ((!searchEntries && !enterSubfolders) || m_abortRequested)
        return;

    // Below its target the walk never passes through a link to a folder.
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (m_folderDepth > 1)
        flags |= O_NOFOLLOW;
    const int fd = ::open(nativeFolder.constData(), flags);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const auto closeFolder = qScopeGuard([dir] { ::closedir(dir); });

    QByteArray names;
    std::vector<DirEntry> entries;
    while (const dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        const qsizetype length = qsizetype(std::strlen(name));
        entries.push_back(DirEntry{names.size(), length, e->d_type});
        names.append(name, length + 1);
    }
    const int folderFd = ::dirfd(dir);

    if (searchEntries) {
        for (auto mask = m_currentMasks.rbegin(); mask != m_currentMasks.rend(); ++mask) {
            for (const DirEntry& entry : entries) {
                if (m_abortRequested)
                    break;
                const char* name = names.constData() + entry.offset;
                if (!mask->matches(name, entry.length))
                    continue;
                FoundFileRecord record;
                if (!readEntry(folderFd, name, entry.length, entry.type, record))
                    continue;
                const QByteArray nativePath = nativeFolder + QByteArray(name, entry.length);
                if (AcceptsFile(folder, nativePath, record))
                    NotifyFileMatch(folder, record);
            }
        }
    }
    if (!enterSubfolders || m_abortRequested)
        return;
    std::vector<const DirEntry*> subfolders;
    for (const DirEntry& entry : entries)
        if (isFolder(folderFd, names.constData() + entry.offset, entry.type))
            subfolders.push_back(&entry);
    for (const DirEntry* entry : subfolders) {
        if (m_abortRequested)
            break;
        QByteArray path = nativeFolder;
        path.append(names.constData() + entry->offset, entry->length);
        path.append('/');
        SearchFolder(path);
    }
}

void TFindFile::searchThreadDone() {
    if (m_destroying || !m_searchThread)
        return;
    if (m_inAbort) {
        m_finishDeferred = true;
        return;
    }
    m_searchThread->wait();
    delete m_searchThread;
    m_searchThread = nullptr;
    const std::exception_ptr error = std::exchange(m_workerError, nullptr);
    FinishSearch();
    if (!error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        msg::report(e);
    } catch (...) {
        msg::report(std::runtime_error("the file search failed"));
    }
}

void TFindFile::FinishSearch() {
    const auto idle = qScopeGuard([this] {
        m_targetSearch.reset();
        m_currentTarget = nullptr;
        m_currentMasks.clear();
        m_searching = false;
    });
    NotifySearchFinish(); // while Searching is still true
}

// --- notifications ------------------------------------------------------------

void TFindFile::NotifySearchBegin() {
    if (OnSearchBegin && !m_destroying)
        OnSearchBegin(this);
}

void TFindFile::NotifySearchFinish() {
    if (OnSearchFinish && !m_destroying)
        OnSearchFinish(this);
}

void TFindFile::NotifySearchAbort() {
    if (OnSearchAbort && !m_destroying)
        OnSearchAbort(this);
}

TFolderIgnore TFindFile::NotifyFolderChange(const QString& folder) {
    TFolderIgnore ignore = fiNone;
    if (!m_abortRequested && OnFolderChange) {
        const std::lock_guard lock(m_eventLock);
        if (!m_abortRequested)
            OnFolderChange(this, folder, ignore);
    }
    return ignore;
}

void TFindFile::NotifyFileMatch(const QString& folder, const FoundFileRecord& entry) {
    if (!m_abortRequested && OnFileMatch) {
        const std::lock_guard lock(m_eventLock);
        if (!m_abortRequested)
            OnFileMatch(this, folder, entry);
    }
}

bool TFindFile::AcceptsFile(const QString& folder, const QByteArray& nativePath,
                            const FoundFileRecord& entry) {
    return !m_abortRequested &&
           m_targetSearch->FileMatches(folder, nativePath, entry, &m_abortRequested);
}
