#pragma once

#include <QString>
#include <QTime>

// Times of day are texts "hh:mm:ss" (24-hour, two digits each). They are
// compared as texts, for equality and in the database's order.
namespace TimeText {
// Equals no time of day: a shutdown time that is switched off.
inline constexpr const char* noShutdown = "25:00:00";

inline QString of(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}
} // namespace TimeText
