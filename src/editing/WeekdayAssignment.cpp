#include "editing/WeekdayAssignment.h"

#include "base/MessageService.h"
#include "data/datamodule.h"

#include <QCoreApplication>

const QStringList& WeekdayAssignment::days() {
    static const QStringList names{QStringLiteral("星期一"), QStringLiteral("星期二"),
                                   QStringLiteral("星期三"), QStringLiteral("星期四"),
                                   QStringLiteral("星期五"), QStringLiteral("星期六"),
                                   QStringLiteral("星期日")};
    return names;
}

QStringList WeekdayAssignment::options() {
    QStringList names;
    m_dm.FillListFromQuery(*m_dm.qry_temp, QStringLiteral("select name from sjbmc"), names);
    names << QStringLiteral("无"); // stored as this text, so never translated
    return names;
}

QString WeekdayAssignment::read(const QString& day) {
    return m_dm.ReadSetting(day);
}

int WeekdayAssignment::match(const QStringList& options, const QString& stored) {
    for (int i = 0; i < options.size(); ++i) {
        if (options[i].compare(stored, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList WeekdayAssignment::daysShowing(const QString& timetable) {
    const QStringList names = options();
    QStringList out;
    for (const QString& day : days()) {
        const int i = match(names, read(day));
        if (i >= 0 && names[i] == timetable)
            out << day;
    }
    return out;
}

int WeekdayAssignment::saveAll(const QStringList& values) {
    int failed = 0;
    for (int i = 0; i < days().size(); ++i) {
        if (!m_dm.WriteSetting(days()[i], values.value(i))) {
            ++failed;
            msg::error(QCoreApplication::translate("TForm_sjsj", "数据库写入出错!"));
        }
    }
    return failed;
}
