#pragma once

#include <QString>
#include <QTime>
#include <array>

class Autostart;
class TDataModule1;

// What the system settings window shows and stores.
struct SystemSettingsValues {
    QString title;                    // "软件标题"
    bool autostart = false;           // "开机自启动"
    std::array<bool, 3> shutdownOn{}; // "定时关机1".."定时关机3"
    std::array<QTime, 3> shutdownTime{QTime(0, 0), QTime(0, 0), QTime(0, 0)}; // "关机时间N"
    bool countdown = false;                                                   // "关机提示"
    bool volumeOn = false;  // "自动设置音量" not "0"
    int volumePosition = 0; // slider 0..5, in steps of 13107
    // The sound output (our own setting "声音输出"): a sink description as
    // AudioOutput::sink, empty for the system's default.
    QString output;
};

// What saving hands back to the rest of the program.
struct SavedSystemSettings {
    QString title; // as read back from the database
    // The shutdown times the schedule acts on: an unticked one is "25:00:00".
    std::array<QString, 3> shutdownTimes;
};

// Reading and storing the system settings, without any window.
class SystemSettings {
public:
    static constexpr int volumeStep = 13107;
    static constexpr int volumeMaxPosition = 5; // 5 * 13107 = 65535
    static constexpr const char* outputKey = "声音输出";

    explicit SystemSettings(TDataModule1& dm) : m_dm(dm) {}

    // The values read when the window is created, in this order: autostart,
    // the three shutdown ticks, the countdown tick, the start-up volume, the
    // title, the sound output. A database error or a volume that is not an integer throws; the
    // values read before the failure are already in v, the later ones keep
    // what v held.
    void load(SystemSettingsValues& v);
    // The three stored shutdown times (read each time the window is shown),
    // whether or not their shutdown is ticked. A text that is not a time of
    // day throws; the times before it are already in v.
    void loadTimes(SystemSettingsValues& v);

    // Stores every value; each write stands alone, and a failed one shows
    // "数据库写入出错!" and saving goes on. Writes or removes the autostart
    // entry for programPath (its failures are silent; autostart may be null)
    // and returns the title and the shutdown times the schedule now acts on.
    SavedSystemSettings save(const SystemSettingsValues& v, Autostart* autostart,
                             const QString& programPath);

    // Slider position of a stored volume: its integer divided by 13107,
    // truncated, kept within 0..5. Throws when the text is not an integer.
    static int positionFromStored(const QString& stored);
    // Stored text of the volume: "0" when off, else position * 13107.
    static QString storedFromPosition(bool on, int position);
    // A stored time text ("hh:nn:ss", also "h:n:s" or "hh:nn"); throws when
    // it is not a time of day.
    static QTime timeFromStored(const QString& stored);
    static QString timeToStored(const QTime& time);

private:
    bool flag(const char* name);
    void write(const QString& name, const QString& value);

    TDataModule1& m_dm;
};
