#include "search/SongSearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <algorithm>

namespace SongSearch {
QString masksFor(const QString& songName, bool mp3, bool wma) {
    const QString any = u'*' + songName + u'*';
    if (mp3 && wma)
        return any + QLatin1String(".mp3;") + any + QLatin1String(".wma");
    if (mp3)
        return any + QLatin1String(".mp3");
    if (wma)
        return any + QLatin1String(".wma");
    return any;
}

QString defaultRange() {
    return QStringLiteral("/media;/mnt;") + QDir::homePath();
}

QString sizeText(qint64 bytes) {
    return QString::number((bytes + 1023) / 1024) + QLatin1String("KB");
}

QString timeText(const QDateTime& local) {
    const QString date = QLocale::system().toString(local.date(), QLocale::ShortFormat);
    if (local.time() == QTime(0, 0))
        return date;
    return date + u' ' + local.time().toString(QStringLiteral("hh:mm:ss"));
}

QString summaryText(int folders, int files, double seconds, bool cancelled) {
    const QString text = QCoreApplication::translate(
                             "TForm_findsong", "搜索 %1 个文件夹并找到 %2 个文件 -- 用时 %3 秒")
                             .arg(folders)
                             .arg(files)
                             .arg(seconds, 0, 'f', 3);
    return cancelled ? QCoreApplication::translate("TForm_findsong", "取消搜索 - ") + text : text;
}

QString cancellingText() {
    return QCoreApplication::translate("TForm_findsong", "正在取消搜索, 请稍等...");
}
} // namespace SongSearch

FoundFileRow FoundFileRow::from(const QString& folder, const FoundFileRecord& record) {
    return FoundFileRow{record.EntryName, folder, SongSearch::sizeText(record.EntrySize),
                        SongSearch::timeText(record.EntryTime())};
}

const QString& FoundFileRow::text(int column) const {
    switch (column) {
    case FoundFilesModel::FolderColumn:
        return folder;
    case FoundFilesModel::SizeColumn:
        return size;
    case FoundFilesModel::TimeColumn:
        return time;
    default:
        return name;
    }
}

FoundFilesModel::FoundFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

int FoundFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FoundFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FoundFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[size_t(index.row())].text(index.column());
    if (role == Qt::ToolTipRole && index.column() == FolderColumn)
        return m_rows[size_t(index.row())].folder;
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FoundFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("文件名");
    case FolderColumn:
        return tr("路径");
    case SizeColumn:
        return tr("大小");
    case TimeColumn:
        return tr("修改时间");
    default:
        return {};
    }
}

void FoundFilesModel::append(std::vector<FoundFileRow>&& rows) {
    if (rows.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    for (FoundFileRow& row : rows)
        m_rows.push_back(std::move(row));
    endInsertRows();
}

void FoundFilesModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

int FoundFilesModel::compareTexts(const QString& a, const QString& b) {
    auto upper = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = upper(a[i].unicode());
        const char16_t y = upper(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void FoundFilesModel::sortRows(int column, bool descending) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> order(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        const int c = compareTexts(m_rows[size_t(x)].text(column), m_rows[size_t(y)].text(column));
        return descending ? c > 0 : c < 0;
    });
    std::deque<FoundFileRow> sorted;
    std::vector<int> newPlace(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_rows[size_t(order[i])]));
        newPlace[size_t(order[i])] = int(i);
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after << this->index(newPlace[size_t(index.row())], index.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
