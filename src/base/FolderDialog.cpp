#include "base/FolderDialog.h"

#include <QDir>
#include <QFileDialog>

namespace {
// Only real folders can be confirmed; no folder is preselected.
class QtFolderDialog : public FolderDialog {
public:
    QString chooseFolder(QWidget* parent, const QString& prompt) override {
        const QString folder = QFileDialog::getExistingDirectory(
            parent, prompt, QString(),
            QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
        return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
    }
};

QtFolderDialog g_realDialog;
FolderDialog* g_dialog = &g_realDialog;
} // namespace

FolderDialog& FolderDialog::current() {
    return *g_dialog;
}

void FolderDialog::install(FolderDialog* dialog) {
    g_dialog = dialog ? dialog : &g_realDialog;
}
