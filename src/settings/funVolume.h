#pragma once

#include <QString>

class MediaDevice;

// Volume of the device a media player has open, 0..1000. Nothing happens
// when the player has nothing open.
void SetMCIVolume(MediaDevice* player, int volume);
// Mixer line volume 0..65535 (see Mixer for the selectors). Failures show the
// plain messages "GetLineInfo Error", "SetControlDetails Error" and
// "GetControlDetails Error"; a missing card or line shows nothing.
void SetMixerVolume(int selector, int volume);
int GetMixerVolume(int selector);

// The start-up step: "自动设置音量" taken as an unsigned 16-bit value; non-zero
// sets the speakers then the wave output, zero only reads the wave output.
// A value that is not a decimal integer is reported and nothing is set.
void ApplyStartupVolume(const QString& setting);
