#pragma once

#include "base/Clock.h"
#include "base/MessageService.h"
#include "platform/AudioOutputs.h"
#include "platform/Autostart.h"
#include "platform/ClockSync.h"
#include "platform/FileManager.h"
#include "platform/MediaDevice.h"
#include "platform/Mixer.h"
#include "platform/PowerControl.h"
#include "platform/RecordingControl.h"
#include "platform/SongLengthProbe.h"
#include "platform/SoundRecorder.h"

#include <QString>
#include <functional>

// The replaceable pieces the whole program uses. main() installs the real
// ones; tests install fakes. The registry does not own what it is given.
namespace Services {
MessageService& messages();
void setMessages(MessageService* service);

const Clock& clock();
void setClock(const Clock* clock);

std::unique_ptr<MediaDevice> createMediaDevice(QObject* parent);
void setMediaDeviceFactory(MediaDeviceFactory factory);

// Measures song lengths for the song-list windows; null when none is
// installed (the windows then show no lengths).
std::unique_ptr<SongLengthProbe> createSongLengthProbe(QObject* parent);
void setSongLengthProbeFactory(SongLengthProbeFactory factory);

// Why sound would not reach a real output (empty: fine). Asked at start-up.
QString audioOutputProblem();
void setAudioOutputCheck(std::function<QString()> check);

// Recording and MP3 conversion (the player). Both throw std::runtime_error
// when nothing has been installed.
std::unique_ptr<SoundRecorder> createSoundRecorder(QObject* parent);
void setSoundRecorderFactory(SoundRecorderFactory factory);
std::unique_ptr<Mp3Encoder> createMp3Encoder(QObject* parent);
void setMp3EncoderFactory(Mp3EncoderFactory factory);

// The desktop's recording control; null when none is installed.
RecordingControl* recordingControl();
void setRecordingControl(RecordingControl* control);

Mixer* mixer();
void setMixer(Mixer* mixer);

// The sound outputs to choose from and the one in use; null when none is
// installed (the settings then offer no choice).
AudioOutputs* audioOutputs();
void setAudioOutputs(AudioOutputs* outputs);

PowerControl* power();
void setPower(PowerControl* power);

Autostart* autostart();
void setAutostart(Autostart* autostart);

// Opens files and shows them in the file manager; null when none is installed.
FileManager* fileManager();
void setFileManager(FileManager* fileManager);

// Whether the system clock is synchronised; null when nobody can tell.
ClockSync* clockSync();
void setClockSync(ClockSync* sync);

// Folder of the program, where gsk.db, dbpath.ini and help.html are looked
// for. The environment variable VORN_HOME overrides it.
QString programDir();
void setProgramDir(const QString& dir);
// True when VORN_HOME or setProgramDir() chose the folder: only it is used.
bool programDirOverridden();
} // namespace Services
