#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The file dialogs of the song-list editor and the entry playlist viewer.
// The windows ask through the installed instance, so tests can answer what
// the operator picked without a modal dialog.
class PlaylistDialogs {
public:
    virtual ~PlaylistDialogs() = default;

    // OpenDialog1: several song files, starting in startDir; empty when cancelled.
    virtual QStringList chooseSongs(QWidget* parent, const QString& startDir) = 0;
    // OpenDialog2: one song-list file to open, starting in startDir; empty when cancelled.
    virtual QString chooseListToOpen(QWidget* parent, const QString& startDir) = 0;
    // SaveDialog1: the file to save to, starting in startDir; empty when cancelled.
    virtual QString chooseListToSave(QWidget* parent, const QString& startDir) = 0;

    // The installed dialogs (the real ones unless a test installed others).
    static PlaylistDialogs& current();
    // Installs dialogs (not owned); nullptr puts the real ones back.
    static void install(PlaylistDialogs* dialogs);

    // Description|pattern pairs of the song and list dialogs.
    static const char* const songFilter;
    static const char* const openListFilter;
    static const char* const saveListFilter;
};

// The real dialogs (QFileDialog).
class QtPlaylistDialogs : public PlaylistDialogs {
public:
    QStringList chooseSongs(QWidget* parent, const QString& startDir) override;
    QString chooseListToOpen(QWidget* parent, const QString& startDir) override;
    QString chooseListToSave(QWidget* parent, const QString& startDir) override;
};
