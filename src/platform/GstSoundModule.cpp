// The entry point of vorn-gstreamer.so: the GStreamer-backed sound objects
// and the ALSA mixer for the program, which links neither library itself.
#include "platform/AlsaMixer.h"
#include "platform/GstAudioOutputs.h"
#include "platform/GstMediaDevice.h"
#include "platform/GstSongLengthProbe.h"
#include "platform/GstSoundRecorder.h"
#include "platform/SoundModule.h"

extern "C" Q_DECL_EXPORT bool VORN_SOUND_MODULE_ENTRY(int interface, unsigned long servicesSize,
                                                      SoundModuleServices* services) {
    if (interface != soundModuleInterface || servicesSize != sizeof(SoundModuleServices) ||
        !services)
        return false;
    services->mediaDevice = [](QObject* parent) {
        return std::unique_ptr<MediaDevice>(std::make_unique<GstMediaDevice>(parent));
    };
    services->songLengthProbe = [](QObject* parent) {
        return std::unique_ptr<SongLengthProbe>(std::make_unique<GstSongLengthProbe>(parent));
    };
    services->soundRecorder = [](QObject* parent) {
        return std::unique_ptr<SoundRecorder>(std::make_unique<GstSoundRecorder>(parent));
    };
    services->mp3Encoder = [](QObject* parent) {
        return std::unique_ptr<Mp3Encoder>(std::make_unique<LameMp3Encoder>(parent));
    };
    services->audioOutputs = [](QObject* parent) -> AudioOutputs* {
        return new GstAudioOutputs(parent);
    };
    services->mixer = [] { return std::unique_ptr<Mixer>(std::make_unique<AlsaMixer>()); };
    return true;
}
