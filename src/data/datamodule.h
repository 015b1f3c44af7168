#pragma once

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <stdexcept>

// A database statement that failed; carries the driver's text.
class DbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A query with a cursor over its result rows. Opened, it holds every row of
// the result in memory (the tables are small) and serves them as a table model
// for the grids; it has one current row that the grids follow.
class TQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    TQuery(const QString& connectionName, QObject* parent = nullptr);

    void close();
    void setSql(const QString& statement) { m_sql = statement; }
    QString sql() const { return m_sql; }

    // Runs the statement with its values bound in order and keeps the rows.
    // Throws DbError on failure (the query is then closed).
    void open(const QVariantList& values = {});
    // Runs a statement that returns no rows. Throws DbError on failure.
    void execSql(const QVariantList& values = {});

    bool isActive() const { return m_active; }
    bool isEmpty() const { return m_rows.isEmpty(); }
    int recordCount() const { return int(m_rows.size()); }

    // Cursor. currentRow() is -1 when there are no rows.
    int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    void first() { setCurrentRow(m_rows.isEmpty() ? -1 : 0); }
    void next();
    bool eof() const { return m_current < 0 || m_current >= m_rows.size(); }
    bool locate(const QString& column, const QVariant& value);

    QStringList columnNames() const { return m_columns; }
    int columnIndex(const QString& column) const;
    // Values of the current row. Throw DbError for an unknown column or no row.
    QVariant value(const QString& column) const;
    QVariant value(int column) const;
    QString text(const QString& column) const { return value(column).toString(); }
    QVariant valueAt(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void currentRowChanged(int row);

private:
    // Reads the result through SQLite itself; false when it is left to the
    // driver. Throws DbError as open() does.
    bool openNative(const QVariantList& values);

    QString m_connection;
    QString m_sql;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
    int m_current = -1;
    bool m_active = false;
};

// Owns the one database connection and the shared queries every window uses.
class TDataModule1 : public QObject {
    Q_OBJECT
public:
    // How long a statement waits for a file that another program holds.
    static constexpr int busyTimeoutMs = 10;

    explicit TDataModule1(QObject* parent = nullptr);
    ~TDataModule1() override;

    // Kinds of store: "sqlite" (source = file path; the file must exist and
    // hold the three tables; it is never created here). Returns false with
    // lastError() set when the connection or the check fails.
    bool OpenDatabase(const QString& kind, const QString& source, const QString& password = {},
                      const QString& user = {}, const QString& server = {});
    bool isOpen() const;
    QString lastError() const { return m_lastError; }
    QString connectionName() const { return m_connection; }

    // A new query on the connection, owned by parent.
    TQuery* createQuery(QObject* parent);

    // Close, set the statement, open. Errors reach the caller (DbError).
    void OpenQuery(TQuery& query, const QString& statement, const QVariantList& values = {});
    // Close, set the statement, execute. False on any error, silently.
    bool ExecQuery(TQuery& query, const QString& statement, const QVariantList& values = {});
    // Runs a statement with one ":name" marker per value, in order. Takes the
    // list and disposes of it whatever happens. A count mismatch shows
    // "参数个数不一致!" and returns false; execution errors reach the caller.
    bool ExecWithParams(TQuery& query, const QString& statement,
                        std::unique_ptr<QStringList> values);
    // Deletes the current row of shown (by its id) through worker; the caller
    // has asked the operator first. True when a row was deleted. The caller
    // refreshes shown.
    bool DeleteCurrentRow(TQuery& shown, TQuery& worker, const QString& table);
    // The first column's values of every row, skipping blank and null ones.
    QStringList& FillListFromQuery(TQuery& query, const QString& statement, QStringList& list,
                                   const QVariantList& values = {});

    // Settings (table system1). A missing row reads as the empty text and its
    // update changes nothing. ReadSetting throws DbError on failure.
    QString ReadSetting(const QString& name);
    bool WriteSetting(const QString& name, const QString& value);

    TQuery* qry_show = nullptr;  // today's timetable in the main window
    TQuery* qry_temp = nullptr;  // scratch for settings and single statements
    TQuery* qry_show2 = nullptr; // timetable of the timetable editor
    TQuery* qry_show3 = nullptr; // source rows of a timetable import

private:
    QString m_connection;
    QString m_lastError;
};

// The process's one data module (set while a TDataModule1 exists).
extern TDataModule1* DataModule1;

// Pieces of text between occurrences of the separator; the text after the
// last separator is always the last piece ("" gives one empty piece).
std::unique_ptr<QStringList> SplitText(const QString& text, const QString& separator);
// How often part occurs in text, overlapping occurrences counted.
int CountOccurrences(const QString& part, const QString& text);
