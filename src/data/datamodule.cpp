#include "data/datamodule.h"

#include "base/MessageService.h"
#include "data/ExtraTables.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <sqlite3.h>

TDataModule1* DataModule1 = nullptr;

namespace {
QString describe(QString text, const QString& code, const QString& statement) {
    text = text.trimmed();
    if (text.isEmpty())
        text = QStringLiteral("database error");
    // SQLITE_BUSY and SQLITE_LOCKED: another program holds the file.
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        text = QCoreApplication::translate("TDataModule1",
                                           "数据库文件正被其他程序占用，请稍后再试。") +
               QLatin1Char(' ') + text;
    return text + QStringLiteral(" [") + statement + QStringLiteral("]");
}

QString describe(const QSqlError& error, const QString& statement) {
    return describe(error.text(), error.nativeErrorCode(), statement);
}

void bindAll(QSqlQuery& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
}

// Reading a result through SQLite itself. Qt's driver has SQLite turn every
// text into UTF-16 and copies each row twice on its way; for the day's
// timetable of thousands of rows that was most of the reload. The values
// come out as the driver gives them (text as QString, integers as qlonglong,
// NULL as a null QString), on the same connection. The driver is built on
// the system's SQLite library, the one linked here.
sqlite3* nativeHandle(const QSqlDatabase& db) {
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

bool isNullValue(const QVariant& v) {
    if (v.isNull())
        return true;
    if (v.typeId() == QMetaType::QString)
        return static_cast<const QString*>(v.constData())->isNull();
    if (v.typeId() == QMetaType::QByteArray)
        return static_cast<const QByteArray*>(v.constData())->isNull();
    return false;
}

// Binds as the driver would; false for a kind of value left to the driver.
bool bindNative(sqlite3_stmt* st, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values.at(i);
        const int at = i + 1;
        int rc = SQLITE_OK;
        if (isNullValue(v)) {
            rc = sqlite3_bind_null(st, at);
        } else {
            switch (v.typeId()) {
            case QMetaType::QString: {
                const QByteArray text = v.toString().toUtf8();
                rc =
                    sqlite3_bind_text(st, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::Int:
            case QMetaType::Bool:
                rc = sqlite3_bind_int(st, at, v.toInt());
                break;
            case QMetaType::UInt:
            case QMetaType::LongLong:
                rc = sqlite3_bind_int64(st, at, v.toLongLong());
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(st, at, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = v.toByteArray();
                rc = sqlite3_bind_blob(st, at, bytes.constData(), int(bytes.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            default:
                return false;
            }
        }
        if (rc != SQLITE_OK)
            return false;
    }
    return true;
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

[[noreturn]] void throwNative(sqlite3* db, const QString& statement) {
    throw DbError(describe(QString::fromUtf8(sqlite3_errmsg(db)),
                           QString::number(sqlite3_extended_errcode(db) & 0xff), statement)
                      .toStdString());
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

bool TQuery::openNative(const QVariantList& values) {
    sqlite3* db = nativeHandle(QSqlDatabase::database(m_connection, false));
    if (!db)
        return false;
    const QByteArray sql = m_sql.toUtf8();
    Statement s;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s.st, &tail) != SQLITE_OK)
        throwNative(db, m_sql);
    // More than one statement, a count of values that does not fit, or a
    // kind of value the driver converts its own way: the driver's path.
    if (!s.st || (tail && !QByteArray(tail).trimmed().isEmpty()) ||
        sqlite3_bind_parameter_count(s.st) != values.size() || !bindNative(s.st, values))
        return false;
    const int n = sqlite3_column_count(s.st);
    QStringList columns;
    columns.reserve(n);
    for (int i = 0; i < n; ++i)
        columns << QString::fromUtf8(sqlite3_column_name(s.st, i)).remove(QLatin1Char('"'));
    // Texts that come again and again down a column (the timetable's name,
    // the play mode) share one string instead of one each.
    struct Repeats {
        QHash<QByteArray, QString> seen;
        bool on = true;
    };
    std::vector<Repeats> repeats(n);
    auto textAt = [&](int i) -> QString {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.st, i));
        const int bytes = sqlite3_column_bytes(s.st, i);
        Repeats& r = repeats[size_t(i)];
        if (!r.on || bytes > 64)
            return QString::fromUtf8(text, bytes);
        const auto found = r.seen.constFind(QByteArray::fromRawData(text, bytes));
        if (found != r.seen.cend())
            return *found;
        const QString value = QString::fromUtf8(text, bytes);
        if (r.seen.size() < 32)
            r.seen.insert(QByteArray(text, bytes), value);
        else
            r.on = false; // a column of mostly different texts
        return value;
    };
    QVector<QVector<QVariant>> rows;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        QVector<QVariant> row(n);
        for (int i = 0; i < n; ++i) {
            switch (sqlite3_column_type(s.st, i)) {
            case SQLITE_INTEGER:
                row[i] = qlonglong(sqlite3_column_int64(s.st, i));
                break;
            case SQLITE_FLOAT:
                row[i] = sqlite3_column_double(s.st, i);
                break;
            case SQLITE_NULL:
                row[i] = QVariant(QMetaType::fromType<QString>());
                break;
            case SQLITE_BLOB:
                row[i] = QByteArray(static_cast<const char*>(sqlite3_column_blob(s.st, i)),
                                    sqlite3_column_bytes(s.st, i));
                break;
            default:
                row[i] = textAt(i);
                break;
            }
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throwNative(db, m_sql);
    beginResetModel();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_active = true;
    m_current = m_rows.isEmpty() ? -1 : 0;
    endResetModel();
    emit currentRowChanged(m_current);
    return true;
}

void TQuery::open(const QVariantList& values) {
    close();
    if (openNative(values))
        return;
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
