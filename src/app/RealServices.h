#pragma once

// Installs the real platform pieces into Services: GStreamer media devices,
// the ALSA mixer, the logind power-off, autostart and the file manager. They
// live until the process ends.
void installRealServices();
