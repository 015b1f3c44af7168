#include "desk/PreAirCheck.h"

#include "data/datamodule.h"
#include "editing/EntryChecks.h"
#include "editing/PlaylistFile.h"
#include "editing/TimetableEntry.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace PreAirCheck {

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("PreAirCheck", text);
}

Finding about(const Entry& e, const QString& text, const QString& path = {}) {
    return Finding{e.name, e.start, path, text};
}

void checkFiles(const Entry& e, QList<Finding>& out) {
    if (e.path.trimmed().isEmpty()) {
        out << about(e, tr("没有指定歌曲或歌曲列表"));
        return;
    }
    const bool isList = e.path.toUpper().endsWith(QLatin1String(".PL3"));
    if (!EntryChecks::fileExists(e.path)) {
        out << about(e, isList ? tr("歌曲列表文件不存在") : tr("歌曲文件不存在"), e.path);
        return;
    }
    if (!isList)
        return;
    QStringList songs;
    try {
        songs = ReadPlaylistFile(e.path);
    } catch (const std::exception& ex) {
        out << about(e, tr("歌曲列表无法读取：%1").arg(QString::fromUtf8(ex.what())), e.path);
        return;
    }
    if (songs.isEmpty()) {
        out << about(e, tr("歌曲列表是空的"), e.path);
        return;
    }
    for (int i = 0; i < songs.size(); ++i) {
        if (songs[i].trimmed().isEmpty())
            out << about(
                e, tr("歌曲列表 %1 第 %2 行是空行").arg(QFileInfo(e.path).fileName()).arg(i + 1),
                e.path);
        else if (!EntryChecks::fileExists(songs[i]))
            out << about(
                e,
                tr("歌曲列表 %1 第 %2 行的歌曲不存在").arg(QFileInfo(e.path).fileName()).arg(i + 1),
                songs[i]);
    }
}

QString describe(const Entry& e) {
    return QStringLiteral("“%1”（%2–%3）").arg(e.name, e.start, e.end);
}
} // namespace

QString Finding::line() const {
    QString text;
    if (!start.isEmpty() || !entry.isEmpty())
        text = (start + QLatin1Char(' ') + entry).trimmed() + tr("：");
    text += this->text;
    if (!path.isEmpty())
        text += QStringLiteral(" (") + path + QLatin1Char(')');
    return text;
}

Input gather(TDataModule1& dm, const QDate& date) {
    Input in;
    in.date = date;
    in.plan = DayCalendar(dm).planFor(date);
    TQuery q(dm.connectionName());
    q.setSql(QStringLiteral("select name from sjbmc where name=?"));
    q.open({in.plan.timetable});
    in.timetableKnown = !q.isEmpty();
    q.setSql(QStringLiteral("select * from sjb where 时间表名称=? order by 开始时间, ID"));
    q.open({in.plan.timetable});
    for (q.first(); !q.eof(); q.next()) {
        const TimetableEntry row = TimetableEntries::entryFromRow(q);
        in.entries << Entry{q.value(QStringLiteral("ID")).toLongLong(),
                            row.name,
                            row.start,
                            row.end,
                            row.path,
                            row.duration,
                            row.mode};
    }
    for (int n = 1; n <= 3; ++n)
        if (dm.ReadSetting(QStringLiteral("定时关机%1").arg(n)) == QLatin1String("1"))
            in.shutdownTimes << dm.ReadSetting(QStringLiteral("关机时间%1").arg(n));
    return in;
}

QList<Finding> examine(const Input& in) {
    QList<Finding> out;
    const QString& timetable = in.plan.timetable;
    if (timetable.trimmed().isEmpty()) {
        out << Finding{{}, {}, {}, tr("%1没有设置时间表").arg(in.plan.weekday)};
    } else if (timetable != DayCalendar::nothing && !in.timetableKnown) {
        out << Finding{{},
                       {},
                       {},
                       in.plan.exception
                           ? tr("例外日期指定的时间表“%1”不存在").arg(timetable)
                           : tr("%1的时间表“%2”不存在").arg(in.plan.weekday, timetable)};
    }

    QList<EntryChecks::Span> spans;
    QList<bool> valid;
    for (const Entry& e : in.entries) {
        checkFiles(e, out);
        if (!EntryChecks::playModes().contains(e.mode))
            out << about(e, tr("播放方式“%1”不是四种播放方式之一").arg(e.mode));
        EntryChecks::Span span;
        const bool ok = EntryChecks::spanOf(e.start, e.end, e.duration, &span);
        if (!ok)
            out << about(e, tr("开始或结束时间不是“时:分:秒”的形式"));
        else if (EntryChecks::endBeforeStart(e.start, e.end, e.duration))
            out << about(e, tr("结束时间 %1 早于开始时间").arg(e.end));
        spans << span;
        valid << ok;
    }
    for (int i = 0; i < in.entries.size(); ++i) {
        const Entry& a = in.entries[i];
        for (int j = i + 1; j < in.entries.size(); ++j) {
            const Entry& b = in.entries[j];
            if (!valid[i] || !valid[j])
                continue;
            if (a.start == b.start)
                out << about(a, tr("与%1的开始时间相同，只会播放其中一个").arg(describe(b)));
            else if (EntryChecks::overlap(spans[i], spans[j]))
                out << about(a, tr("与%1的时间重叠").arg(describe(b)));
        }
        if (!valid[i])
            continue;
        for (const QString& shutdown : in.shutdownTimes) {
            const int s = EntryChecks::secondsOf(shutdown);
            if (s >= 0 && EntryChecks::covers(spans[i], s))
                out << about(a, tr("定时关机时间 %1 在播放期间").arg(shutdown));
        }
    }
    return out;
}

QList<Finding> run(TDataModule1& dm, const QDate& date) {
    return examine(gather(dm, date));
}

QString dayHeading(const Input& in) {
    QString text = in.date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
                   in.plan.weekday + QLatin1Char(' ') + tr("时间表：") +
                   (in.plan.timetable.isEmpty() ? tr("（未设置）") : in.plan.timetable);
    if (in.plan.exception)
        text +=
            QLatin1Char(' ') +
            tr("（例外日期%1）").arg(in.plan.note.isEmpty() ? QString() : tr("：") + in.plan.note);
    return text;
}
} // namespace PreAirCheck
