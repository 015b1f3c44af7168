#include "player/PlayerDialogs.h"

#include "editing/SongList.h"

#include <QDir>
#include <QFileDialog>

namespace {
QtPlayerDialogs g_real;
PlayerDialogs* g_current = &g_real;
} // namespace

PlayerDialogs& PlayerDialogs::current() {
    return *g_current;
}

void PlayerDialogs::install(PlayerDialogs* dialogs) {
    g_current = dialogs ? dialogs : &g_real;
}

QStringList QtPlayerDialogs::chooseSongs(QWidget* parent) {
    return QFileDialog::getOpenFileNames(
        parent, QString(), QString(),
        SongList::dialogFilter(QStringLiteral("MP3音乐(*.mp3;*.wma;*.wav)|*.mp3;*.wma;*.wav")));
}

QString QtPlayerDialogs::chooseRecordingFile(QWidget* parent, const QString& startDir) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(SongList::dialogFilter(QStringLiteral("MP3音乐(*.mp3)|*.mp3")));
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    if (!startDir.isEmpty() && QDir(startDir).exists())
        dialog.setDirectory(startDir);
    dialog.selectFile(QFileDialog::tr("录音"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
