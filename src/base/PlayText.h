#pragma once

#include <QString>

// Texts shown for songs: playing times and display names.

// Milliseconds as "m:ss": whole seconds, minutes never roll over into hours
// (205000 gives "3:25", 4530000 gives "75:30"). Negative values count as 0.
inline QString FormatPlayTime(qint64 ms) {
    const qint64 s = ms > 0 ? ms / 1000 : 0;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// The file name of a song without its folder and its last four characters
// (the extension ".mp3"): "/music/晨曲.mp3" gives "晨曲". Both "/" and "\" end
// a folder, so lists written on Windows show their names too.
inline QString SongDisplayName(const QString& path) {
    const qsizetype slash =
        qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString name = path.mid(slash + 1);
    name.chop(4);
    return name;
}
