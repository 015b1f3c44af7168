#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The file dialogs of the player (the folder browser is the shared one). The window asks through
// the installed instance, so tests can answer what the operator picked without a modal dialog.
class PlayerDialogs {
public:
    virtual ~PlayerDialogs() = default;

    // OpenDialog1: songs to add; empty when cancelled.
    virtual QStringList chooseSongs(QWidget* parent) = 0;
    // SaveDialog1: the MP3 file a recording is saved as, proposed as "录音"
    // in startDir; empty when cancelled.
    virtual QString chooseRecordingFile(QWidget* parent, const QString& startDir) = 0;

    // The installed dialogs (the real ones unless a test installed others).
    static PlayerDialogs& current();
    // Installs dialogs (not owned); nullptr puts the real ones back.
    static void install(PlayerDialogs* dialogs);
};

// The real dialogs (QFileDialog).
class QtPlayerDialogs : public PlayerDialogs {
public:
    QStringList chooseSongs(QWidget* parent) override;
    QString chooseRecordingFile(QWidget* parent, const QString& startDir) override;
};
