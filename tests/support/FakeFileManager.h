#pragma once

#include "base/Services.h"

#include <QStringList>

// Records what would have been opened or shown; installs itself while it lives.
class FakeFileManager : public FileManager {
public:
    FakeFileManager() { Services::setFileManager(this); }
    ~FakeFileManager() override { Services::setFileManager(nullptr); }

    void openFile(const QString& path) override { opened << path; }
    void showItem(const QString& path) override { shown << path; }

    QStringList opened;
    QStringList shown;
};
