#pragma once

#include <QString>
#include <QTime>
#include <optional>

class MediaDevice;
class TDataModule1;
class TQuery;

// One row of table sjb as the entry dialogs write it.
struct TimetableEntry {
    QString name;      // 名称
    QString start;     // 开始时间, "hh:mm:ss"
    QString end;       // 结束时间, "hh:mm:ss"
    QString path;      // 歌曲列表或歌曲
    QString duration;  // 时长
    QString mode;      // 播放方式
    QString timetable; // 时间表名称
};

// The rules of the entry dialogs, without any widget.
namespace TimetableEntries {
// The form every time of day is stored in.
inline constexpr const char* timeFormat = "HH:mm:ss";

QString timeText(const QTime& time);
// A stored "hh:mm:ss" (a single-digit hour is accepted too); invalid QTime when
// the text is not a time of day.
QTime parseTime(const QString& text);

// The duration stored with an entry: the absolute difference of the two times
// of day as hours without a leading zero, two-digit minutes and seconds
// (08:00:00 to 08:03:25 gives "0:03:25"; 10:00:00 to 09:00:00 gives "1:00:00").
QString durationText(const QTime& start, const QTime& end);

// A song length: whole minutes (never rolled into hours), ":", two-digit
// seconds; 205000 ms gives "3:25", 4530000 ms gives "75:30".
QString songLengthText(qint64 ms);

// True for the single songs whose length is measured when chosen: .MP3, .WAV,
// .WMA and .WMV in any letter case. Song lists and anything else are not.
bool isMeasuredSong(const QString& path);

// Start plus the song length in whole seconds, wrapping past midnight.
QTime endTimeAfter(const QTime& start, qint64 lengthMs);

// Opens the song on the device, reads its length and closes it again. Returns
// nothing when the file cannot be opened or reports no length; error then
// says why.
std::optional<qint64> measureSong(MediaDevice& device, const QString& path, QString* error);

// Writes through the scratch query with bound values; false on any failure.
bool insertEntry(TDataModule1& dm, const TimetableEntry& entry);
bool updateEntry(TDataModule1& dm, const TimetableEntry& entry, qlonglong id);

// The entry of the current row of a query over sjb (throws DbError without one).
TimetableEntry entryFromRow(const TQuery& query);
} // namespace TimetableEntries
