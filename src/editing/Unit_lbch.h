#pragma once

#include "editing/SongList.h"

#include <QSize>
#include <QWidget>

class QLabel;
class QPushButton;
class SongListBox;
class SongListView;

// The entry playlist viewer: shows the songs of one scheduled song-list file,
// lets the operator add, remove and reorder songs and saves the file in
// place. The path is fixed when the viewer opens.
class TForm_lb : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize defaultSize{680, 520};

    // Opens the viewer on the song-list file at path (reads it at once).
    explicit TForm_lb(const QString& path, QWidget* owner = nullptr);
    ~TForm_lb() override;

    QString playlistPath() const { return m_path; }
    const SongList& list() const;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3; // total length
    SongListBox* ListBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button5; // 上移
    QPushButton* Button6; // 下移
    QPushButton* Button4;

    void FormCreate();
    void Button1Click(); // 添加歌曲...
    void Button2Click(); // 清除全部
    void Button3Click(); // 清除一首
    void Button4Click(); // 保存列表

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Writes the file; false (after the report) when it was not written.
    bool save();
    void updateTitle();

    QString m_path;
    SongListView* m_view;
    bool m_unreadable = false; // the file existed but could not be read at opening
};
