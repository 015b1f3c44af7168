#pragma once

#include <QString>

class QSqlDatabase;
class TDataModule1;

// Tables beside the three the desk was designed with: the as-run log, the
// calendar of days that differ and a few settings of our own. They are made
// in a new database and added to an existing one when it is opened; the
// original tables are never changed.
namespace ExtraTables {
// Creates whatever is missing. False (with error) when the file cannot be
// written; the desk then runs without a log or calendar rather than not at all.
bool ensure(const QSqlDatabase& db, QString* error = nullptr);

// Settings of our own (table vorn_setting). A missing row reads as fallback.
QString setting(TDataModule1& dm, const QString& name, const QString& fallback = {});
bool setSetting(TDataModule1& dm, const QString& name, const QString& value);

// How many days the as-run log keeps (setting "日志保留天数", default 365).
inline constexpr int defaultLogDays = 365;
int logKeepDays(TDataModule1& dm);
} // namespace ExtraTables
