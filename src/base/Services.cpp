#include "base/Services.h"

#include <QCoreApplication>
#include <QDir>
#include <stdexcept>

namespace {
// Used before main() installs anything: messages go to standard error.
class StderrMessages : public MessageService {
public:
    Answer show(const QString& text, const QString& caption, Icon, Buttons buttons) override {
        qWarning("%s: %s", qPrintable(caption), qPrintable(text));
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
};

StderrMessages g_stderrMessages;
SystemClock g_systemClock;
MessageService* g_messages = &g_stderrMessages;
const Clock* g_clock = &g_systemClock;
MediaDeviceFactory g_mediaFactory;
SongLengthProbeFactory g_lengthFactory;
std::function<QString()> g_outputCheck;
SoundRecorderFactory g_recorderFactory;
Mp3EncoderFactory g_encoderFactory;
RecordingControl* g_recordingControl = nullptr;
Mixer* g_mixer = nullptr;
AudioOutputs* g_audioOutputs = nullptr;
PowerControl* g_power = nullptr;
Autostart* g_autostart = nullptr;
FileManager* g_fileManager = nullptr;
ClockSync* g_clockSync = nullptr;
QString g_programDir;
} // namespace

namespace Services {
MessageService& messages() {
    return *g_messages;
}
void setMessages(MessageService* service) {
    g_messages = service ? service : &g_stderrMessages;
}

const Clock& clock() {
    return *g_clock;
}
void setClock(const Clock* clock) {
    g_clock = clock ? clock : &g_systemClock;
}

std::unique_ptr<MediaDevice> createMediaDevice(QObject* parent) {
    if (!g_mediaFactory)
        throw std::runtime_error("no media device available");
    return g_mediaFactory(parent);
}
void setMediaDeviceFactory(MediaDeviceFactory factory) {
    g_mediaFactory = std::move(factory);
}

std::unique_ptr<SongLengthProbe> createSongLengthProbe(QObject* parent) {
    return g_lengthFactory ? g_lengthFactory(parent) : nullptr;
}
void setSongLengthProbeFactory(SongLengthProbeFactory factory) {
    g_lengthFactory = std::move(factory);
}

QString audioOutputProblem() {
    return g_outputCheck ? g_outputCheck() : QString();
}
void setAudioOutputCheck(std::function<QString()> check) {
    g_outputCheck = std::move(check);
}

std::unique_ptr<SoundRecorder> createSoundRecorder(QObject* parent) {
    if (!g_recorderFactory)
        throw std::runtime_error("no sound recorder available");
    return g_recorderFactory(parent);
}
void setSoundRecorderFactory(SoundRecorderFactory factory) {
    g_recorderFactory = std::move(factory);
}

std::unique_ptr<Mp3Encoder> createMp3Encoder(QObject* parent) {
    if (!g_encoderFactory)
        throw std::runtime_error("no MP3 encoder available");
    return g_encoderFactory(parent);
}
void setMp3EncoderFactory(Mp3EncoderFactory factory) {
    g_encoderFactory = std::move(factory);
}

RecordingControl* recordingControl() {
    return g_recordingControl;
}
void setRecordingControl(RecordingControl* control) {
    g_recordingControl = control;
}

Mixer* mixer() {
    return g_mixer;
}
void setMixer(Mixer* mixer) {
    g_mixer = mixer;
}

AudioOutputs* audioOutputs() {
    return g_audioOutputs;
}
void setAudioOutputs(AudioOutputs* outputs) {
    g_audioOutputs = outputs;
}

PowerControl* power() {
    return g_power;
}
void setPower(PowerControl* power) {
    g_power = power;
}

Autostart* autostart() {
    return g_autostart;
}
void setAutostart(Autostart* autostart) {
    g_autostart = autostart;
}

FileManager* fileManager() {
    return g_fileManager;
}
void setFileManager(FileManager* fileManager) {
    g_fileManager = fileManager;
}

ClockSync* clockSync() {
    return g_clockSync;
}
void setClockSync(ClockSync* sync) {
    g_clockSync = sync;
}

QString programDir() {
    const QString env = qEnvironmentVariable("VORN_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    if (!g_programDir.isEmpty())
        return g_programDir;
    return QCoreApplication::applicationDirPath();
}
void setProgramDir(const QString& dir) {
    g_programDir = dir;
}
bool programDirOverridden() {
    return !qEnvironmentVariableIsEmpty("VORN_HOME") || !g_programDir.isEmpty();
}
} // namespace Services

namespace msg {
MessageService& service() {
    return Services::messages();
}
void report(const std::exception& e) {
    service().show(QString::fromUtf8(e.what()), QStringLiteral("错误"),
                   MessageService::Icon::Error);
}
} // namespace msg
