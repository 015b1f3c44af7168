#include "app/RealServices.h"

#include "base/Services.h"
#include "platform/DesktopFileManager.h"
#include "platform/LogindPowerControl.h"
#include "platform/RecordingControl.h"
#include "platform/SoundModule.h"
#include "platform/TimedatedClockSync.h"
#include "platform/XdgAutostart.h"

#include <QCoreApplication>
#include <memory>
#include <stdexcept>

namespace {
// Loads the module once; the sound outputs come with it.
class SoundLoader {
public:
    explicit SoundLoader(SoundModule& module) : m_module(module) {}

    const SoundModuleServices* services() {
        if (!m_module.load())
            return nullptr;
        std::call_once(m_outputsOnce, [this] {
            // Lives as long as the application (it answers through its event loop).
            if (m_module.services().audioOutputs)
                Services::setAudioOutputs(
                    m_module.services().audioOutputs(QCoreApplication::instance()));
        });
        return &m_module.services();
    }
    QString problem() const { return m_module.errorString(); }
    [[noreturn]] void refuse() const { throw std::runtime_error(problem().toStdString()); }

private:
    SoundModule& m_module;
    std::once_flag m_outputsOnce;
};

// The sound card's mixer, made by the module at its first use; without the
// module there is none.
class ModuleMixer : public Mixer {
public:
    explicit ModuleMixer(std::shared_ptr<SoundLoader> loader) : m_loader(std::move(loader)) {}

    Result setVolume(int selector, int value) override {
        Mixer* mixer = real();
        return mixer ? mixer->setVolume(selector, value) : Result::NoMixer;
    }
    Result volume(int selector, int& value) override {
        Mixer* mixer = real();
        return mixer ? mixer->volume(selector, value) : Result::NoMixer;
    }

private:
    Mixer* real() {
        std::call_once(m_once, [this] {
            if (const SoundModuleServices* sound = m_loader->services(); sound && sound->mixer)
                m_mixer = sound->mixer();
        });
        return m_mixer.get();
    }

    std::shared_ptr<SoundLoader> m_loader;
    std::once_flag m_once;
    std::unique_ptr<Mixer> m_mixer;
};
} // namespace

void installSoundServices(SoundModule& module) {
    auto loader = std::make_shared<SoundLoader>(module);
    Services::setMediaDeviceFactory([loader](QObject* parent) -> std::unique_ptr<MediaDevice> {
        if (const SoundModuleServices* sound = loader->services())
            return sound->mediaDevice(parent);
        return std::make_unique<UnavailableMediaDevice>(loader->problem(), parent);
    });
    Services::setSongLengthProbeFactory(
        [loader](QObject* parent) -> std::unique_ptr<SongLengthProbe> {
            const SoundModuleServices* sound = loader->services();
            return sound && sound->songLengthProbe ? sound->songLengthProbe(parent) : nullptr;
        });
    Services::setSoundRecorderFactory([loader](QObject* parent) {
        const SoundModuleServices* sound = loader->services();
        if (!sound || !sound->soundRecorder)
            loader->refuse();
        return sound->soundRecorder(parent);
    });
    Services::setMp3EncoderFactory([loader](QObject* parent) {
        const SoundModuleServices* sound = loader->services();
        if (!sound || !sound->mp3Encoder)
            loader->refuse();
        return sound->mp3Encoder(parent);
    });
    Services::setAudioOutputCheck(
        [loader] { return loader->services() ? QString() : loader->problem(); });
    static std::unique_ptr<ModuleMixer> mixer;
    mixer = std::make_unique<ModuleMixer>(loader);
    Services::setMixer(mixer.get());
}

void installRealServices() {
    static LogindPowerControl power;
    static XdgAutostart autostart;
    static DesktopFileManager fileManager;
    static PavucontrolRecordingControl recordingControl;
    static SoundModule sound(SoundModule::defaultCandidates());
    installSoundServices(sound);
    Services::setRecordingControl(&recordingControl);
    Services::setPower(&power);
    Services::setAutostart(&autostart);
    Services::setFileManager(&fileManager);
    Services::setClockSync(new TimedatedClockSync(QCoreApplication::instance()));
}
