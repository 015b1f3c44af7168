#include "editing/SongLengths.h"

#include "base/PlayText.h"
#include "base/Services.h"

SongLengths::SongLengths(QObject* parent) : QObject(parent) {
    m_probe = Services::createSongLengthProbe(this);
    if (m_probe)
        connect(m_probe.get(), &SongLengthProbe::measured, this,
                [this](const QString& path, qint64 ms) {
                    m_answers.insert(path, ms);
                    emit changed(path);
                });
}

SongLengths::~SongLengths() = default;

void SongLengths::want(const QStringList& paths) {
    if (!m_probe)
        return;
    for (const QString& path : paths) {
        if (m_asked.contains(path))
            continue;
        m_asked.insert(path, true);
        m_probe->request(path);
    }
}

std::optional<qint64> SongLengths::answer(const QString& path) const {
    const auto found = m_answers.constFind(path);
    if (found == m_answers.constEnd())
        return std::nullopt;
    return *found;
}

SongLengths::Total SongLengths::total(const QStringList& paths) const {
    Total t;
    for (const QString& path : paths) {
        const std::optional<qint64> a = answer(path);
        if (!a)
            ++t.pending;
        else if (*a < 0)
            ++t.unknown;
        else
            t.ms += *a;
    }
    return t;
}

QString SongLengths::songText(std::optional<qint64> answer) {
    if (!answer)
        return QStringLiteral("…");
    if (*answer == SongLengthProbe::missing)
        return tr("文件不存在");
    if (*answer < 0)
        return tr("无法读取");
    return FormatPlayTime(*answer);
}

bool SongLengths::isProblem(std::optional<qint64> answer) {
    return answer && *answer < 0;
}

QString SongLengths::totalText(const Total& total) {
    const qint64 s = total.ms / 1000;
    QString time = s >= 3600 ? QStringLiteral("%1:%2:%3")
                                   .arg(s / 3600)
                                   .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                   .arg(s % 60, 2, 10, QLatin1Char('0'))
                             : FormatPlayTime(total.ms);
    QString text = tr("总时长：") + time;
    if (total.pending > 0)
        text += tr("（计算中…）");
    else if (total.unknown > 0)
        text += tr("（另有 %1 首无法读取）").arg(total.unknown);
    return text;
}
