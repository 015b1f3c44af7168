#pragma once

#include <QString>

// Hands files to the desktop: opening a file in the program the desktop
// associates with it, and showing a file in the file manager. Neither waits
// for the program it starts; failures are not reported. Tests use a fake.
class FileManager {
public:
    virtual ~FileManager() = default;
    // Opens the file with its associated program.
    virtual void openFile(const QString& path) = 0;
    // Shows the folder of the file in the file manager with the file selected
    // where the file manager can do that, else just opens the folder.
    virtual void showItem(const QString& path) = 0;
};
