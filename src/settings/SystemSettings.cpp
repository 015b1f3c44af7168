#include "settings/SystemSettings.h"

#include "base/MessageService.h"
#include "base/TimeText.h"
#include "data/ExtraTables.h"
#include "data/datamodule.h"
#include "platform/Autostart.h"
#include "settings/Password.h"

#include <QStringList>
#include <stdexcept>

namespace {
const char* const shutdownFlagKeys[3] = {"定时关机1", "定时关机2", "定时关机3"};
const char* const shutdownTimeKeys[3] = {"关机时间1", "关机时间2", "关机时间3"};

QString key(const char* name) {
    return QString::fromUtf8(name);
}
QString yesNo(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

bool SystemSettings::flag(const char* name) {
    return m_dm.ReadSetting(key(name)) == QLatin1String("1");
}

void SystemSettings::write(const QString& name, const QString& value) {
    if (!m_dm.WriteSetting(name, value))
        msg::error(QStringLiteral("数据库写入出错!"));
}

int SystemSettings::positionFromStored(const QString& stored) {
    bool ok = false;
    const qlonglong n = stored.trimmed().toLongLong(&ok, 10);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid integer value").arg(stored).toStdString());
    return int(qBound<qlonglong>(0, n / volumeStep, qlonglong(volumeMaxPosition)));
}

QString SystemSettings::storedFromPosition(bool on, int position) {
    if (!on)
        return QStringLiteral("0");
    return QString::number(qBound(0, position, volumeMaxPosition) * volumeStep);
}

QTime SystemSettings::timeFromStored(const QString& stored) {
    const QString text = stored.trimmed();
    for (const char* format : {"H:m:s", "H:m"}) {
        const QTime t = QTime::fromString(text, QLatin1String(format));
        if (t.isValid())
            return t;
    }
    throw std::runtime_error(QStringLiteral("'%1' is not a valid time").arg(stored).toStdString());
}

QString SystemSettings::timeToStored(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

void SystemSettings::load(SystemSettingsValues& v) {
    v.autostart = flag("开机自启动");
    for (int i = 0; i < 3; ++i)
        v.shutdownOn[i] = flag(shutdownFlagKeys[i]);
    v.countdown = flag("关机提示");
    const QString volume = m_dm.ReadSetting(key("自动设置音量"));
    v.volumeOn = volume != QLatin1String("0");
    v.volumePosition = positionFromStored(volume);
    v.title = m_dm.ReadSetting(key("软件标题"));
    v.output = ExtraTables::setting(m_dm, QString::fromUtf8(outputKey)).trimmed();
}

void SystemSettings::loadTimes(SystemSettingsValues& v) {
    for (int i = 0; i < 3; ++i)
        v.shutdownTime[i] = timeFromStored(m_dm.ReadSetting(key(shutdownTimeKeys[i])));
}

SavedSystemSettings SystemSettings::save(const SystemSettingsValues& v, Autostart* autostart,
                                         const QString& programPath) {
    SavedSystemSettings saved;
    write(key("开机自启动"), yesNo(v.autostart));
    for (int i = 0; i < 3; ++i)
        write(key(shutdownFlagKeys[i]), yesNo(v.shutdownOn[i]));
    write(key("关机提示"), yesNo(v.countdown));
    write(key("自动设置音量"), storedFromPosition(v.volumeOn, v.volumePosition));
    write(key("软件标题"), Password::trimmed(v.title));
    for (int i = 0; i < 3; ++i) {
        const QString time = timeToStored(v.shutdownTime[i]);
        write(key(shutdownTimeKeys[i]), time);
        saved.shutdownTimes[i] = v.shutdownOn[i] ? time : QLatin1String(TimeText::noShutdown);
    }
    if (!ExtraTables::setSetting(m_dm, QString::fromUtf8(outputKey), v.output.trimmed()))
        msg::error(QStringLiteral("数据库写入出错!"));
    if (autostart)
        autostart->setEnabled(v.autostart, programPath);
    saved.title = m_dm.ReadSetting(key("软件标题"));
    return saved;
}
