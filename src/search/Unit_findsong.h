#pragma once

#include "search/FindFile.h"
#include "search/SongSearch.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;
class QTableView;
class SearchAnimation;

// The song search window: finds music files by part of their name in a list
// of folders and hands a found song to the player, opens it or shows it in
// the file manager. The search runs on the engine's worker thread; found rows
// reach the list in batches a few times a second, so the window stays
// responsive however many files are found. Closing the window cancels a
// running search.
class TForm_findsong : public QWidget {
    Q_OBJECT
public:
    explicit TForm_findsong(QWidget* owner = nullptr);
    ~TForm_findsong() override;

    // Opens a new search window, not owned by any other window, and shows it
    // without blocking. It is deleted when it is closed or the program ends.
    static TForm_findsong* open();
    // The newest search window still open, or null.
    static TForm_findsong* newest();

    // Where "添加到播放列表" sends the full path of the chosen song: the
    // program sets it to append the song to the newest player window and to
    // open a player first when none is open.
    using PlaylistSink = std::function<void(const QString& path)>;
    static void setPlaylistSink(PlaylistSink sink);

    QLabel* Label1;
    QLineEdit* Filename;
    QLabel* Label3;
    QCheckBox* type1; // MP3
    QCheckBox* type2; // WMA
    QLabel* Label2;
    QLineEdit* Location;
    QPushButton* BrowseButton;
    QCheckBox* Subfolders;
    QPushButton* FindButton;
    QPushButton* StopButton;
    SearchAnimation* Animate;
    QCheckBox* Threaded; // never visible; ticked: search on the worker thread
    QTableView* FoundFiles;
    QStatusBar* StatusBar;
    QMenu* PopupMenu1;
    QAction* N1; // 添加到播放列表
    QAction* N2; // 打开文件
    QAction* N3; // 打开所在文件夹
    TFindFile* FindFile;

    FoundFilesModel* foundRows() const { return m_rows; }
    QString statusText() const;
    bool animating() const;
    int FolderCount() const { return m_folderCount; }
    int SortColumn() const { return m_sortColumn; }
    bool SortDescending() const { return m_sortDescending; }
    // The full path of the selected row, or an empty text.
    QString selectedPath() const;

    void FindButtonClick();
    void StopButtonClick();
    void BrowseButtonClick();
    void FoundFilesColumnClick(int column);
    void N1Click();
    void N2Click();
    void N3Click();

protected:
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery

private:
    void FindFileSearchBegin();
    void FindFileFolderChange(const QString& folder);
    void FindFileFileMatch(const QString& folder, const FoundFileRecord& info);
    void FindFileSearchAbort();
    void FindFileSearchFinish();
    // Moves the rows found since the last call into the list and shows the
    // folder being searched.
    void showFound();
    void setStatus(const QString& text);
    void showPopup(const QPoint& at);

    FoundFilesModel* m_rows;
    QLabel* m_status;
    QTimer* m_showTimer;
    std::atomic<int> m_folderCount{0};
    QElapsedTimer m_startTick;
    QElapsedTimer m_lastPump; // non-threaded searches keep the window alive
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    bool m_cancelling = false;

    // Filled by the worker, emptied by the window thread.
    QMutex m_foundMutex;
    std::vector<FoundFileRow> m_found;
    QString m_currentFolder;

    static QPointer<TForm_findsong> s_newest;
    static PlaylistSink s_playlistSink;
};
