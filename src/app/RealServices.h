#pragma once

// Installs the real platform pieces into Services: GStreamer media devices,
// the ALSA mixer and the logind power-off. They live until the process ends.
void installRealServices();
