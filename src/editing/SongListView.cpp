#include "editing/SongListView.h"

#include "base/MessageService.h"
#include "editing/PlaylistDialogs.h"
#include "editing/SongLengths.h"
#include "editing/SongListBox.h"

#include <QFileInfo>
#include <QLabel>
#include <algorithm>

SongListView::SongListView(SongListBox* box, QLabel* count, CountText countText, QLabel* total,
                           QWidget* window)
    : QObject(window), m_box(box), m_count(count), m_countText(std::move(countText)),
      m_total(total), m_window(window), m_lengths(new SongLengths(this)) {
    m_total->setVisible(m_lengths->measuring());
    connect(m_lengths, &SongLengths::changed, this, &SongListView::showLength);
    connect(m_box, &SongListBox::pathsDropped, this, &SongListView::takeDropped);
    connect(m_box, &SongListBox::rowDragged, this, &SongListView::dragged);
}

void SongListView::show(int selected) {
    m_box->clear();
    m_lengths->want(m_list.entries());
    for (const QString& path : m_list.entries()) {
        auto* item = new QListWidgetItem(path, m_box);
        if (m_lengths->measuring()) {
            const std::optional<qint64> answer = m_lengths->answer(path);
            item->setData(SongListBox::lengthTextRole, SongLengths::songText(answer));
            item->setData(SongListBox::problemRole, SongLengths::isProblem(answer));
        }
    }
    m_box->setCurrentRow(selected);
    if (selected < 0)
        m_box->clearSelection();
    m_count->setText(m_countText(m_list.count()));
    showTotal();
    emit changed();
}

void SongListView::showLength(const QString& path) {
    const std::optional<qint64> answer = m_lengths->answer(path);
    for (int row = 0; row < m_box->count(); ++row) {
        QListWidgetItem* item = m_box->item(row);
        if (item->text() != path)
            continue;
        item->setData(SongListBox::lengthTextRole, SongLengths::songText(answer));
        item->setData(SongListBox::problemRole, SongLengths::isProblem(answer));
    }
    showTotal();
}

void SongListView::showTotal() {
    if (m_lengths->measuring())
        m_total->setText(SongLengths::totalText(m_lengths->total(m_list.entries())));
}

void SongListView::append(const QStringList& paths) {
    m_list.append(paths);
    show();
}

void SongListView::removeSelected() {
    const QList<QListWidgetItem*> selected = m_box->selectedItems();
    if (!selected.isEmpty())
        m_list.removeAt(m_box->row(selected.constFirst()));
    show();
}

void SongListView::addChosenSongs() {
    const QStringList songs =
        PlaylistDialogs::current().chooseSongs(m_window, SongList::songStartDir());
    if (!songs.isEmpty())
        SongList::rememberSongDir(QFileInfo(songs.constFirst()).absolutePath());
    append(songs);
}

bool SongListView::mayClose(const std::function<bool()>& save) {
    if (!m_list.isModified())
        return true;
    switch (msg::service().show(tr("歌曲列表已修改，是否保存？"), tr("提示"),
                                MessageService::Icon::Question,
                                MessageService::Buttons::YesNoCancel)) {
    case MessageService::Answer::Yes:
        return save();
    case MessageService::Answer::No:
        return true;
    default:
        return false;
    }
}

bool SongListView::clearAll() {
    if (m_list.count() > 0 && !msg::confirm(tr("确定要清除全部歌曲吗？")))
        return false;
    m_list.clear();
    show();
    return true;
}

void SongListView::moveSelected(int by) {
    const QList<QListWidgetItem*> selected = m_box->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = m_box->row(selected.constFirst());
    const int to = row + by;
    if (to < 0 || to >= m_list.count())
        return;
    show(m_list.move(row, by > 0 ? to + 1 : to));
}

void SongListView::takeDropped(const QStringList& paths, int row) {
    int skipped = 0;
    const QStringList songs = SongList::songsIn(paths, &skipped);
    if (songs.isEmpty()) {
        msg::notice(tr("拖入的文件中没有可以播放的歌曲（mp3、wma、wav）。"));
        return;
    }
    const int at = std::clamp(row, 0, m_list.count());
    m_list.insert(at, songs);
    show(at + int(songs.size()) - 1);
}

void SongListView::dragged(int from, int to) {
    show(m_list.move(from, to));
}
