#pragma once

#include "search/NameMask.h"
#include "search/SearchCriteria.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// What an OnFolderChange handler wants done with the folder just entered.
enum TFolderIgnore {
    fiNone,              // its entries searched, its subfolders entered
    fiJustThis,          // its entries skipped, its subfolders entered
    fiJustSubfolders,    // its entries searched, its subfolders skipped
    fiThisAndSubfolders, // both skipped
};

// One folder to walk. FolderPath is absolute and ends in "/".
struct TTargetFolder {
    QString FolderPath;
    bool Subfolders = true;
    QStringList FileMasks; // applied from the last to the first; duplicates kept
    quint16 MinLevel = 0;
    quint16 MaxLevel = 0;
};

// The folders of one search in the order they are walked (the order in which
// they were first named), and the exclusion masks.
struct TTargetFolderList {
    std::vector<TTargetFolder> Folders;
    QStringList ExcludedMasks;

    // The target for the folder (normalised against currentFolder), added at
    // the end when it is new. Folders are equal only when written alike
    // after normalising: /srv/Music and /srv/music are two targets.
    TTargetFolder& FolderFor(const QString& path, const QString& currentFolder);
};

// Cuts text at ";", trims blanks and control characters, drops empty pieces
// and repeats of an earlier piece (compared with the given letter case).
QStringList SplitList(const QString& text, Qt::CaseSensitivity caseSensitivity);
// Absolute against currentFolder, "." and ".." resolved, a leading "~" for the
// home folder, ending in "/". An empty path is the current folder.
QString NormaliseFolder(const QString& path, const QString& currentFolder);

// The targets of the criteria: the Included entries first, then the folders
// of Location with the masks of FileName ("*.*" when it names none). A ">"
// before a folder searches it with its subfolders, "<" without them; else
// Subfolders decides. A folder named twice is walked once with the masks of
// both namings and the subfolder flag of the last.
TTargetFolderList BuildTargetFolders(const TFileCriteria& files, const QString& currentFolder);

// The working copy of the criteria for one search, made when it starts.
class TTargetSearch {
public:
    TTargetSearch(const TSearchCriteria& criteria, const QString& currentFolder);

    // The entry tests in order: size, attributes, extended attributes, time
    // stamps, exclusions, content. abort is polled by the content scan.
    // nativePath: the entry's full path as the file system spells it.
    bool FileMatches(const QString& folder, const QByteArray& nativePath,
                     const FoundFileRecord& entry, const std::atomic<bool>* abort) const;

    TTargetFolderList Targets;
    TAttributeCriteria Attribute;
    TAttributeCriteriaEx AttributeEx;
    TDateTimeCriteria TimeStamp;
    TSizeCriteria Size;
    TContentCriteria Content;
};

// Searches folders for entries that meet the criteria, optionally on a worker
// thread, and reports each folder it enters and each entry it accepts.
//
// Events of one search: OnSearchBegin; then, in walk order, OnFolderChange for
// every folder entered and OnFileMatch for every accepted entry; at most one
// OnSearchAbort; last OnSearchFinish, always, also after an abort.
//
// Threads: threaded, OnFolderChange and OnFileMatch run on the worker, one at a
// time under the event lock; OnSearchBegin runs in StartSearch; OnSearchAbort
// in AbortSearch on the caller's thread; OnSearchFinish on the thread that owns
// the component (it must run an event loop). AbortSearch keeps processing its
// thread's events while it waits for the event lock, so a handler that waits
// for that thread finishes and the two never deadlock.
//
// The walk never follows a symbolic link to a folder (a link loop cannot make
// it endless); a link to a file is reported like the file, with ReparsePoint
// among its attributes. The target folders themselves are opened as named.
// A folder that cannot be read is skipped silently. Destroying the component
// during a search stops it and waits for the worker; no further event is
// delivered then.
class TFindFile : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TFindFile* sender)>;
    using TFileMatchEvent =
        std::function<void(TFindFile* sender, const QString& folder, const FoundFileRecord& info)>;
    using TFolderChangeEvent =
        std::function<void(TFindFile* sender, const QString& folder, TFolderIgnore& ignore)>;

    explicit TFindFile(QObject* owner = nullptr);
    ~TFindFile() override;

    TSearchCriteria& Criteria() { return m_criteria; }
    const TSearchCriteria& Criteria() const { return m_criteria; }
    void setCriteria(const TSearchCriteria& criteria) { m_criteria = criteria; }
    bool Threaded() const { return m_threaded; }
    void setThreaded(bool threaded) { m_threaded = threaded; }
    QThread::Priority ThreadPriority() const { return m_priority; }
    void setThreadPriority(QThread::Priority priority) { m_priority = priority; }

    TFileMatchEvent OnFileMatch;
    TFolderChangeEvent OnFolderChange;
    TNotifyEvent OnSearchBegin;
    TNotifyEvent OnSearchFinish;
    TNotifyEvent OnSearchAbort;

    // Starts a search with the current criteria; ignored while one runs.
    // Not threaded, it returns when the search has finished (an error of the
    // walk then reaches the caller after OnSearchFinish); threaded, once the
    // worker runs (an error of the walk is reported after OnSearchFinish).
    void StartSearch();
    // Asks the running search to stop; returns after OnSearchAbort has run.
    void AbortSearch();

    bool Searching() const { return m_searching; }
    // Stays set after an aborted search until the next one starts.
    bool AbortRequested() const { return m_abortRequested.load(); }
    // The depth of the folder being searched (its target is 1); meaningful in
    // OnFolderChange and OnFileMatch.
    quint16 FolderDepth() const { return m_folderDepth; }

protected:
    virtual void NotifySearchBegin();
    virtual void NotifySearchFinish();
    virtual void NotifySearchAbort();
    virtual TFolderIgnore NotifyFolderChange(const QString& folder);
    virtual void NotifyFileMatch(const QString& folder, const FoundFileRecord& entry);
    virtual bool AcceptsFile(const QString& folder, const QByteArray& nativePath,
                             const FoundFileRecord& entry);

private:
    void PrepareSearch();
    void RunSearch();
    void SearchFolder(const QByteArray& nativeFolder);
    void FinishSearch();
    void searchThreadDone();

    TSearchCriteria m_criteria;
    bool m_threaded = false;
    QThread::Priority m_priority = QThread::NormalPriority;

    bool m_searching = false;
    std::atomic<bool> m_abortRequested{false};
    quint16 m_folderDepth = 0;
    std::unique_ptr<TTargetSearch> m_targetSearch;
    const TTargetFolder* m_currentTarget = nullptr;
    std::vector<NameMask> m_currentMasks;
    QThread* m_searchThread = nullptr;
    std::recursive_timed_mutex m_eventLock;
    std::exception_ptr m_workerError;

    bool m_destroying = false;
    bool m_inAbort = false;
    bool m_finishDeferred = false;
};
