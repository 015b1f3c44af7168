#pragma once

#include <QString>

class QWidget;

// The folder browser: the operator picks one existing folder. Windows ask
// through the installed instance, so tests can answer without a dialog.
class FolderDialog {
public:
    virtual ~FolderDialog() = default;
    // The chosen folder, or an empty text when the operator cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& prompt) = 0;

    // The installed browser (the real one unless a test installed another).
    static FolderDialog& current();
    // Installs a browser (not owned); nullptr puts the real one back.
    static void install(FolderDialog* dialog);
};

// Shows the installed folder browser with the given prompt (the caption).
inline QString SelectFolderDialog(QWidget* parent, const QString& prompt) {
    return FolderDialog::current().chooseFolder(parent, prompt);
}
