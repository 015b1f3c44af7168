#pragma once

#include "platform/AudioOutputs.h"
#include "platform/MediaDevice.h"
#include "platform/Mixer.h"
#include "platform/SongLengthProbe.h"
#include "platform/SoundRecorder.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>

// What the sound module (vorn-gstreamer.so) hands over: the makers of the
// GStreamer-backed objects and of the sound card's mixer. The program itself
// links neither GStreamer nor alsa-lib; the module is loaded once the main
// window is on screen, or when sound (or the mixer) is first asked for,
// whichever comes first.
struct SoundModuleServices {
    MediaDeviceFactory mediaDevice;
    SongLengthProbeFactory songLengthProbe;
    SoundRecorderFactory soundRecorder;
    Mp3EncoderFactory mp3Encoder;
    std::function<AudioOutputs*(QObject* parent)> audioOutputs;
    std::function<std::unique_ptr<Mixer>()> mixer;
};

// The one entry point of the module. It fills `services` and returns true
// when `interface` and `servicesSize` are those it was built with.
#define VORN_SOUND_MODULE_ENTRY vornSoundModuleServices
extern "C" bool VORN_SOUND_MODULE_ENTRY(int interface, unsigned long servicesSize,
                                        SoundModuleServices* services);
using SoundModuleEntry = bool (*)(int, unsigned long, SoundModuleServices*);
// Changes whenever SoundModuleServices changes.
inline constexpr int soundModuleInterface = 2;

// Finds and loads the sound module. Loading happens once; what it found
// (the services, or why there are none) stays.
class SoundModule {
public:
    static constexpr const char* fileName = "vorn-gstreamer.so";

    // Looks for the module at these paths, in order.
    explicit SoundModule(QStringList candidates);
    // Beside the program (the build tree), then where the package installs it.
    static QStringList defaultCandidates();

    // Loads the module unless that was tried already; true when its services
    // are there. Reads the disk: call it on the window's thread only before
    // the schedule runs, or from elsewhere.
    bool load();
    bool loaded() const;
    // Why the module could not be loaded, for the operator (empty when it was).
    QString errorString() const;
    // Only valid when load() returned true.
    const SoundModuleServices& services() const { return m_services; }

private:
    bool tryLoad();

    QStringList m_candidates;
    std::once_flag m_once;
    bool m_loaded = false;
    QString m_error;
    SoundModuleServices m_services;
};

// The media device while the sound module is missing: nothing opens, and
// every file fails as one the output refused, with the reason the module
// could not be loaded. The schedule goes on and logs what could not play.
class UnavailableMediaDevice : public MediaDevice {
public:
    UnavailableMediaDevice(QString why, QObject* parent);

    bool open(const QString& fileName) override;
    QString errorString() const override { return m_why; }
    QString fileName() const override { return {}; }
    bool play(bool) override { return false; }
    void pause() override {}
    void resume() override {}
    void stop() override {}
    void close() override {}
    void seek(qint64) override {}
    Mode mode() const override { return Mode::NotOpen; }
    qint64 position() const override { return 0; }
    qint64 length() const override { return 0; }
    void setVolume(int level) override { m_volume = level; }
    int volume() const override { return m_volume; }
    bool notifyEnabled() const override { return m_notify; }
    void setNotifyEnabled(bool on) override { m_notify = on; }
    bool setNext(const QString& fileName) override;

private:
    QString m_why;
    int m_volume = 1000;
    bool m_notify = false;
};
