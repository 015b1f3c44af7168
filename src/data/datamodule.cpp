#include "data/datamodule.h"

#include "base/MessageService.h"
#include "data/ExtraTables.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

TDataModule1* DataModule1 = nullptr;

namespace {
QString describe(const QSqlError& error, const QString& statement) {
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("database error");
    // SQLITE_BUSY and SQLITE_LOCKED: another program holds the file.
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        text = QCoreApplication::translate("TDataModule1",
                                           "数据库文件正被其他程序占用，请稍后再试。") +
               QLatin1Char(' ') + text;
    return text + QStringLiteral(" [") + statement + QStringLiteral("]");
}

void bindAll(QSqlQuery& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
}
} // namespace

// ---------------------------------------------------------------- TQuery

TQuery::TQuery(const QString& connectionName, QObject* parent)
    : QAbstractTableModel(parent), m_connection(connectionName) {}

void TQuery::close() {
    beginResetModel();
    m_active = false;
    m_rows.clear();
    m_columns.clear();
    m_current = -1;
    endResetModel();
    emit currentRowChanged(-1);
}

void TQuery::open(const QVariantList& values) {
    close();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.prepare(m_sql))
        throw DbError(describe(q.lastError(), m_sql).toStdString());
    bindAll(q, values);
    if (!q.exec())
        throw DbError(describe(q.lastError(), m_sql).toStdString());
    beginResetModel();
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        m_columns << rec.fieldName(i);
    while (q.next()) {
        QVector<QVariant> row(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row[i] = q.value(i);
        m_rows.push_back(std::move(row));
    }
    m_active = true;
    m_current = m_rows.isEmpty() ? -1 : 0;
    endResetModel();
    emit currentRowChanged(m_current);
}

void TQuery::execSql(const QVariantList& values) {
    close();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.prepare(m_sql))
        throw DbError(describe(q.lastError(), m_sql).toStdString());
    bindAll(q, values);
    if (!q.exec())
        throw DbError(describe(q.lastError(), m_sql).toStdString());
}

void TQuery::setCurrentRow(int row) {
    if (row < -1 || row >= m_rows.size())
        row = m_rows.isEmpty() ? -1 : int(m_rows.size()); // past the end
    if (row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(m_current < m_rows.size() ? m_current : -1);
}

void TQuery::next() {
    if (m_current >= 0 && m_current < m_rows.size())
        setCurrentRow(m_current + 1 < m_rows.size() ? m_current + 1 : int(m_rows.size()));
}

bool TQuery::locate(const QString& column, const QVariant& value) {
    const int c = columnIndex(column);
    if (c < 0)
        return false;
    for (int r = 0; r < m_rows.size(); ++r) {
        if (m_rows[r][c].toString() == value.toString()) {
            setCurrentRow(r);
            return true;
        }
    }
    return false;
}

int TQuery::columnIndex(const QString& column) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TQuery::value(const QString& column) const {
    const int c = columnIndex(column);
    if (c < 0)
        throw DbError(("no column " + column).toStdString());
    return value(c);
}

QVariant TQuery::value(int column) const {
    if (eof())
        throw DbError("no current row");
    if (column < 0 || column >= m_columns.size())
        throw DbError("no column " + std::to_string(column));
    return m_rows[m_current][column];
}

QVariant TQuery::valueAt(int row, int column) const {
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return {};
    return m_rows[row][column];
}

int TQuery::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TQuery::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TQuery::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return valueAt(index.row(), index.column());
}

QVariant TQuery::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_columns.size() ? QVariant(m_columns[section])
                                                          : QVariant();
    return section + 1;
}

// ---------------------------------------------------------------- TDataModule1

TDataModule1::TDataModule1(QObject* parent)
    : QObject(parent), m_connection(QStringLiteral("vorn-%1").arg(quintptr(this), 0, 16)) {
    qry_show = createQuery(this);
    qry_temp = createQuery(this);
    qry_show2 = createQuery(this);
    qry_show3 = createQuery(this);
    DataModule1 = this;
}

TDataModule1::~TDataModule1() {
    delete qry_show;
    delete qry_temp;
    delete qry_show2;
    delete qry_show3;
    qry_show = qry_temp = qry_show2 = qry_show3 = nullptr;
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

bool TDataModule1::OpenDatabase(const QString& kind, const QString& source, const QString&,
                                const QString&, const QString&) {
    m_lastError.clear();
    if (kind != QLatin1String("sqlite")) {
        m_lastError = QStringLiteral("unknown kind of database: ") + kind;
        return false;
    }
    const QFileInfo info(source);
    if (source.isEmpty() || !info.isFile()) {
        m_lastError = QStringLiteral("database file not found: ") + source;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.close();
    // mode=rw: an existing file is opened for writing, a missing one is never created.
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    // Another program holding the file (a backup, a second editor) makes a
    // statement fail after a few milliseconds instead of holding the window's
    // thread, which also runs the schedule clock.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                             .arg(TDataModule1::busyTimeoutMs));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    if (!db.open()) {
        m_lastError = db.lastError().text();
        return false;
    }
    // A file that is not a database, or one without the three tables, fails here
    // without being written to.
    for (const char* table : {"sjb", "sjbmc", "system1"}) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)))) {
            m_lastError = q.lastError().text();
            db.close();
            return false;
        }
    }
    // The log and calendar tables of a database made before they existed. A
    // file that cannot be written still opens: the schedule plays all the same.
    ExtraTables::ensure(db);
    return true;
}

bool TDataModule1::isOpen() const {
    return QSqlDatabase::contains(m_connection) &&
           QSqlDatabase::database(m_connection, false).isOpen();
}

TQuery* TDataModule1::createQuery(QObject* parent) {
    return new TQuery(m_connection, parent);
}

void TDataModule1::OpenQuery(TQuery& query, const QString& statement, const QVariantList& values) {
    query.close();
    query.setSql(statement);
    query.open(values);
}

bool TDataModule1::ExecQuery(TQuery& query, const QString& statement, const QVariantList& values) {
    query.close();
    query.setSql(statement);
    try {
        query.execSql(values);
        return true;
    } catch (const DbError&) {
        return false;
    }
}

bool TDataModule1::ExecWithParams(TQuery& query, const QString& statement,
                                  std::unique_ptr<QStringList> values) {
    const std::unique_ptr<QStringList> owned = std::move(values);
    const int count = owned ? int(owned->size()) : 0;
    if (CountOccurrences(QStringLiteral(":"), statement) != count) {
        msg::error(QStringLiteral("参数个数不一致!"));
        return false;
    }
    QVariantList bound;
    for (int i = 0; i < count; ++i)
        bound << owned->at(i);
    query.close();
    query.setSql(statement);
    query.execSql(bound);
    return true;
}

bool TDataModule1::DeleteCurrentRow(TQuery& shown, TQuery& worker, const QString& table) {
    if (shown.isEmpty() || shown.eof())
        return false;
    const QString id = shown.text(QStringLiteral("id"));
    // The table name is ours, never user text; the id is bound.
    return ExecQuery(worker, QStringLiteral("delete from ") + table + QStringLiteral(" where ID=?"),
                     {id.toLongLong()});
}

QStringList& TDataModule1::FillListFromQuery(TQuery& query, const QString& statement,
                                             QStringList& list, const QVariantList& values) {
    OpenQuery(query, statement, values);
    query.first();
    list.clear();
    for (; !query.eof(); query.next()) {
        const QVariant v = query.value(0);
        const QString text = v.isNull() ? QString() : v.toString();
        if (!text.trimmed().isEmpty())
            list << text;
    }
    return list;
}

QString TDataModule1::ReadSetting(const QString& name) {
    OpenQuery(*qry_temp, QStringLiteral("select name1,value1 from system1 where name1=?"), {name});
    if (qry_temp->isEmpty())
        return {};
    return qry_temp->text(QStringLiteral("value1"));
}

bool TDataModule1::WriteSetting(const QString& name, const QString& value) {
    // Every value is text: a blank one is the empty text, never NULL.
    return ExecQuery(*qry_temp, QStringLiteral("update system1 set value1=? where name1=?"),
                     {value.isNull() ? QStringLiteral("") : value, name});
}

std::unique_ptr<QStringList> SplitText(const QString& text, const QString& separator) {
    auto list = std::make_unique<QStringList>();
    if (separator.isEmpty()) {
        *list << text;
        return list;
    }
    *list = text.split(separator, Qt::KeepEmptyParts);
    return list;
}

int CountOccurrences(const QString& part, const QString& text) {
    if (part.isEmpty())
        return 0;
    int count = 0;
    for (qsizetype at = text.indexOf(part); at >= 0; at = text.indexOf(part, at + 1))
        ++count;
    return count;
}
