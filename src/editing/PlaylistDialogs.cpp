#include "editing/PlaylistDialogs.h"

#include "editing/SongList.h"

#include <QCoreApplication>
#include <QFileDialog>

const char* const PlaylistDialogs::songFilter = "音乐文件(mp3;wma;wav)|*.mp3;*.wma;*.wav|MP3文件("
                                                "mp3)|*.mp3|WMA文件(wma)|*.wma|WAV文件(wav)|*.wav";
const char* const PlaylistDialogs::openListFilter = "歌曲列表(*.pl3)|*.pl3";
const char* const PlaylistDialogs::saveListFilter = "文本文件类型(*.pl3)|*.pl3";

namespace {
PlaylistDialogs* g_installed = nullptr;

QString filter(const char* pairs) {
    return SongList::dialogFilter(QCoreApplication::translate("PlaylistDialogs", pairs));
}
} // namespace

PlaylistDialogs& PlaylistDialogs::current() {
    static QtPlaylistDialogs real;
    return g_installed ? *g_installed : real;
}

void PlaylistDialogs::install(PlaylistDialogs* dialogs) {
    g_installed = dialogs;
}

QStringList QtPlaylistDialogs::chooseSongs(QWidget* parent, const QString& startDir) {
    return QFileDialog::getOpenFileNames(parent, QString(), startDir, filter(songFilter));
}

QString QtPlaylistDialogs::chooseListToOpen(QWidget* parent, const QString& startDir) {
    return QFileDialog::getOpenFileName(parent, QString(), startDir, filter(openListFilter));
}

QString QtPlaylistDialogs::chooseListToSave(QWidget* parent, const QString& startDir) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter(saveListFilter));
    dialog.setDefaultSuffix(QStringLiteral("pl3"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDirectory(startDir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
