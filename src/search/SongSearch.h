#pragma once

#include "search/SearchCriteria.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QString>
#include <deque>

// The decisions of the song search window, kept apart from its widgets.
namespace SongSearch {
// The masks for a song name and the ticked types: "*abc*.mp3;*abc*.wma" for
// both, one of them for one, "*abc*" (any file) for none. The name is used as
// typed.
QString masksFor(const QString& songName, bool mp3, bool wma);

// The machine's music places, searched in this order: /media, /mnt, home.
QString defaultRange();

// Size in whole kilobytes, rounded up: 0 bytes "0KB", 1–1024 bytes "1KB",
// 1025 bytes "2KB"; the full 64-bit size counts.
QString sizeText(qint64 bytes);

// The local time in the system's short date format and hh:mm:ss; only the
// date when the time is exactly midnight.
QString timeText(const QDateTime& local);

// "搜索 3 个文件夹并找到 2 个文件 -- 用时 0.125 秒", after a cancel prefixed
// with "取消搜索 - ".
QString summaryText(int folders, int files, double seconds, bool cancelled);

// The status text while a search is being cancelled.
QString cancellingText();
} // namespace SongSearch

// One row of the result list: the found file and its display texts.
struct FoundFileRow {
    QString name;   // file name
    QString folder; // ending in "/"
    QString size;
    QString time;

    static FoundFileRow from(const QString& folder, const FoundFileRecord& record);
    QString path() const { return folder + name; }
    const QString& text(int column) const;
};

// The rows of the result list: file name, path, size, modified. Rows are
// appended in batches; sorting compares the texts of one column letter by
// letter with a–z equal to A–Z (so "10KB" comes before "9KB").
class FoundFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, FolderColumn, SizeColumn, TimeColumn, ColumnCount };

    explicit FoundFilesModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void append(std::vector<FoundFileRow>&& rows);
    void clear();
    const FoundFileRow& row(int index) const { return m_rows[size_t(index)]; }

    // Orders the rows by one column, ascending or descending; equal texts
    // keep their order.
    void sortRows(int column, bool descending);
    // Negative, zero or positive like a comparison; only a–z and A–Z are equal.
    static int compareTexts(const QString& a, const QString& b);

private:
    std::deque<FoundFileRow> m_rows; // grows without moving the rows already there
};
