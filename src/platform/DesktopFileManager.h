#pragma once

#include "platform/FileManager.h"

// The desktop's file manager: ShowItems of org.freedesktop.FileManager1 on the
// session bus, else the folder opened like a file; files open through
// QDesktopServices. Every call returns at once (the bus call is asynchronous).
class DesktopFileManager : public FileManager {
public:
    void openFile(const QString& path) override;
    void showItem(const QString& path) override;
};
