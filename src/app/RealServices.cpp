#include "app/RealServices.h"

#include "base/Services.h"
#include "platform/AlsaMixer.h"
#include "platform/DesktopFileManager.h"
#include "platform/GstAudioOutputs.h"
#include "platform/GstMediaDevice.h"
#include "platform/GstSongLengthProbe.h"
#include "platform/GstSoundRecorder.h"
#include "platform/LogindPowerControl.h"
#include "platform/RecordingControl.h"
#include "platform/TimedatedClockSync.h"
#include "platform/XdgAutostart.h"

#include <QCoreApplication>

void installRealServices() {
    static AlsaMixer mixer;
    static LogindPowerControl power;
    static XdgAutostart autostart;
    static DesktopFileManager fileManager;
    static PavucontrolRecordingControl recordingControl;
    Services::setMediaDeviceFactory(
        [](QObject* parent) { return std::make_unique<GstMediaDevice>(parent); });
    Services::setSongLengthProbeFactory(
        [](QObject* parent) { return std::make_unique<GstSongLengthProbe>(parent); });
    Services::setSoundRecorderFactory(
        [](QObject* parent) { return std::make_unique<GstSoundRecorder>(parent); });
    Services::setMp3EncoderFactory(
        [](QObject* parent) { return std::make_unique<LameMp3Encoder>(parent); });
    Services::setRecordingControl(&recordingControl);
    Services::setMixer(&mixer);
    Services::setPower(&power);
    Services::setAutostart(&autostart);
    Services::setFileManager(&fileManager);
    // Lives as long as the application (it answers through its event loop).
    Services::setAudioOutputs(new GstAudioOutputs(QCoreApplication::instance()));
    Services::setClockSync(new TimedatedClockSync(QCoreApplication::instance()));
}
