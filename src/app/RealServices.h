#pragma once

class SoundModule;

// Installs the real platform pieces into Services: the media devices, the
// rest of the sound and the ALSA mixer (from the sound module), the logind
// power-off, autostart and the file manager. They live until the process ends.
void installRealServices();

// The sound pieces from `module`, which is loaded at the first call of any of
// their makers (or of Services::audioOutputProblem()); it must outlive them.
// When it cannot be loaded, the media devices play nothing and fail every
// file with the reason, which audioOutputProblem() also tells; the recorder
// and the MP3 encoder are refused with it, song lengths are not measured and
// the mixer answers that there is none.
void installSoundServices(SoundModule& module);
