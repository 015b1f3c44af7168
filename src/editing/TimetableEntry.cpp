#include "editing/TimetableEntry.h"

#include "data/datamodule.h"
#include "platform/MediaDevice.h"

#include <QEventLoop>
#include <QTimer>

#include <QCoreApplication>
#include <QFileInfo>

namespace TimetableEntries {

QString timeText(const QTime& time) {
    return time.toString(QLatin1String(timeFormat));
}

QTime parseTime(const QString& text) {
    const QString t = text.trimmed();
    QTime time = QTime::fromString(t, QLatin1String(timeFormat));
    if (!time.isValid())
        time = QTime::fromString(t, QStringLiteral("H:mm:ss"));
    return time;
}

QString durationText(const QTime& start, const QTime& end) {
    const int seconds = std::abs(start.secsTo(end));
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString songLengthText(qint64 ms) {
    const qint64 s = ms < 0 ? 0 : ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

bool isMeasuredSong(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString ext = name.mid(dot).toUpper();
    return ext == QLatin1String(".MP3") || ext == QLatin1String(".WAV") ||
           ext == QLatin1String(".WMA") || ext == QLatin1String(".WMV");
}

QTime endTimeAfter(const QTime& start, qint64 lengthMs) {
    const qint64 seconds = (lengthMs < 0 ? 0 : lengthMs / 1000) % 86400;
    return start.addSecs(int(seconds)); // QTime wraps past midnight
}

std::optional<qint64> measureSong(MediaDevice& device, const QString& path, QString* error) {
    auto fail = [error](const QString& why) -> std::optional<qint64> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // The device opens in the background; this waits for its answer in a
    // local event loop, so the schedule's timers go on meanwhile.
    bool refused = !device.open(path);
    if (!refused && device.length() <= 0) {
        QEventLoop wait;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
        QObject::connect(&device, &MediaDevice::lengthChanged, &wait, &QEventLoop::quit);
        QObject::connect(&device, &MediaDevice::failed, &wait, [&] {
            refused = true;
            wait.quit();
        });
        limit.start(6000);
        wait.exec();
    }
    if (refused) {
        const QString why = device.errorString();
        device.close();
        return fail(
            why.isEmpty()
                ? QCoreApplication::translate("TimetableEntries", "无法打开歌曲文件：%1").arg(path)
                : why);
    }
    const qint64 length = device.length();
    device.close();
    if (length <= 0)
        return fail(
            QCoreApplication::translate("TimetableEntries", "无法读取歌曲时长：%1").arg(path));
    return length;
}

namespace {
QVariantList values(const TimetableEntry& e) {
    return {e.name, e.start, e.end, e.path, e.duration, e.mode, e.timetable};
}
} // namespace

bool insertEntry(TDataModule1& dm, const TimetableEntry& entry) {
    return dm.ExecQuery(*dm.qry_temp,
                        QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,"
                                       "播放方式,时间表名称) values(?,?,?,?,?,?,?)"),
                        values(entry));
}

bool updateEntry(TDataModule1& dm, const TimetableEntry& entry, qlonglong id) {
    QVariantList v = values(entry);
    v << id;
    return dm.ExecQuery(
        *dm.qry_temp,
        QStringLiteral("update sjb set 名称=?,开始时间=?,结束时间=?,歌曲列表或歌曲=?,"
                       "时长=?,播放方式=?,时间表名称=? where id=?"),
        v);
}

TimetableEntry entryFromRow(const TQuery& query) {
    TimetableEntry e;
    e.name = query.text(QStringLiteral("名称"));
    e.start = query.text(QStringLiteral("开始时间"));
    e.end = query.text(QStringLiteral("结束时间"));
    e.path = query.text(QStringLiteral("歌曲列表或歌曲"));
    e.duration = query.text(QStringLiteral("时长"));
    e.mode = query.text(QStringLiteral("播放方式"));
    e.timetable = query.text(QStringLiteral("时间表名称"));
    return e;
}
} // namespace TimetableEntries
