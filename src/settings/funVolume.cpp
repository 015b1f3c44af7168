#include "settings/funVolume.h"

#include "base/Services.h"

namespace {
void plain(const char* text) {
    Services::messages().show(QString::fromLatin1(text), QString(), MessageService::Icon::None);
}
} // namespace

void SetMCIVolume(MediaDevice* player, int volume) {
    if (player && player->mode() != MediaDevice::Mode::NotOpen)
        player->setVolume(volume);
}

void SetMixerVolume(int selector, int volume) {
    Mixer* mixer = Services::mixer();
    if (!mixer)
        return;
    switch (mixer->setVolume(selector, volume & 0xFFFF)) {
    case Mixer::Result::NoControl:
        plain("GetLineInfo Error");
        break;
    case Mixer::Result::Refused:
        plain("SetControlDetails Error");
        break;
    default:
        break;
    }
}

int GetMixerVolume(int selector) {
    Mixer* mixer = Services::mixer();
    if (!mixer)
        return 0;
    int value = 0;
    switch (mixer->volume(selector, value)) {
    case Mixer::Result::Ok:
        return value & 0xFFFF;
    case Mixer::Result::NoControl:
        plain("GetLineInfo Error");
        break;
    case Mixer::Result::Refused:
        plain("GetControlDetails Error");
        break;
    default:
        break;
    }
    return 0;
}

void ApplyStartupVolume(const QString& setting) {
    bool ok = false;
    const qlonglong n = setting.trimmed().toLongLong(&ok, 10);
    if (!ok) {
        msg::error(QStringLiteral("'%1' is not a valid integer value").arg(setting));
        return;
    }
    const int v = int(quint64(n) & 0xFFFF);
    if (v != 0) {
        SetMixerVolume(0, v);
        SetMixerVolume(2, v);
    } else {
        GetMixerVolume(2);
    }
}
