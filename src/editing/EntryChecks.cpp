#include "editing/EntryChecks.h"

#include "editing/TimetableEntry.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace EntryChecks {

int secondsOf(const QString& time) {
    static const QRegularExpression form(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    if (!form.match(time).hasMatch())
        return -1;
    const QTime t = QTime::fromString(time, QStringLiteral("HH:mm:ss"));
    return t.isValid() ? t.msecsSinceStartOfDay() / 1000 : -1;
}

namespace {
bool pastMidnightByIntent(int start, int end, const QString& duration) {
    if (end >= start || duration.isEmpty())
        return false;
    const int wrapped = end + 86400 - start;
    return duration.trimmed() ==
           TimetableEntries::durationText(QTime(0, 0), QTime(0, 0).addSecs(wrapped));
}
} // namespace

bool endBeforeStart(const QString& start, const QString& end, const QString& duration) {
    const int s = secondsOf(start);
    const int e = secondsOf(end);
    if (s < 0 || e < 0)
        return false;
    return e < s && !pastMidnightByIntent(s, e, duration);
}

bool spanOf(const QString& start, const QString& end, const QString& duration, Span* span) {
    const int s = secondsOf(start);
    const int e = secondsOf(end);
    if (s < 0 || e < 0)
        return false;
    span->from = s;
    if (e > s)
        span->to = e;
    else if (e < s && pastMidnightByIntent(s, e, duration))
        span->to = e + 86400;
    else
        span->to = s + 1; // ends at (or, by mistake, before) its start: its one second
    return true;
}

bool overlap(const Span& a, const Span& b) {
    for (const int shift : {-86400, 0, 86400})
        if (a.from < b.to + shift && b.from + shift < a.to)
            return true;
    return false;
}

bool covers(const Span& span, int second) {
    for (const int shift : {0, 86400})
        if (span.from <= second + shift && second + shift < span.to)
            return true;
    return false;
}

const QList<QString>& playModes() {
    static const QList<QString> modes{QStringLiteral("顺序播放"), QStringLiteral("随机播放"),
                                      QStringLiteral("单曲播放"), QStringLiteral("随机单曲")};
    return modes;
}

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}
} // namespace EntryChecks
