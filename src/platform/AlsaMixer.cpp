#include "platform/AlsaMixer.h"

#include <QStringList>
#include <alsa/asoundlib.h>
#include <cmath>
#include <memory>

namespace {
struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerCloser>;

MixerHandle openMixer(const QByteArray& device) {
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0)
        return {};
    MixerHandle mixer(raw);
    if (snd_mixer_attach(raw, device.constData()) < 0 ||
        snd_mixer_selem_register(raw, nullptr, nullptr) < 0 || snd_mixer_load(raw) < 0)
        return {};
    return mixer;
}

snd_mixer_elem_t* findElement(snd_mixer_t* mixer, const QString& name) {
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name.toLatin1().constData());
    return snd_mixer_find_selem(mixer, id);
}
} // namespace

AlsaMixer::AlsaMixer(QString device) : m_device(std::move(device)) {}

QStringList AlsaMixer::elementNames(int selector) {
    switch (selector) {
    case 0:
        return {QStringLiteral("Master")};
    case 1:
        return {QStringLiteral("Mic"), QStringLiteral("Capture")};
    case 2:
        return {QStringLiteral("PCM")};
    case 3:
        return {QStringLiteral("Synth")};
    default:
        return {};
    }
}

bool AlsaMixer::isCapture(int selector) {
    return selector == 1;
}

long AlsaMixer::toControlValue(int value, long min, long max) {
    if (max <= min)
        return min;
    const double v = qBound(0, value, 65535);
    return min + std::lround(v * double(max - min) / 65535.0);
}

int AlsaMixer::fromControlValue(long raw, long min, long max) {
    if (max <= min)
        return 0;
    raw = qBound(min, raw, max);
    return int(std::lround(double(raw - min) * 65535.0 / double(max - min)));
}

Mixer::Result AlsaMixer::setVolume(int selector, int value) {
    return access(selector, true, value);
}

Mixer::Result AlsaMixer::volume(int selector, int& value) {
    return access(selector, false, value);
}

Mixer::Result AlsaMixer::access(int selector, bool write, int& value) {
    MixerHandle mixer;
    if (!m_device.isEmpty()) {
        mixer = openMixer(m_device.toLocal8Bit());
    } else {
        int card = -1;
        if (snd_card_next(&card) < 0 || card < 0)
            return Result::NoMixer; // no sound card at all
        mixer = openMixer("hw:0");
        if (!mixer)
            mixer = openMixer("default");
    }
    if (!mixer)
        return Result::NoMixer;

    const QStringList names = elementNames(selector);
    if (names.isEmpty())
        return Result::NoLine;
    const bool capture = isCapture(selector);
    snd_mixer_elem_t* element = nullptr;
    bool anyLine = false;
    for (const QString& name : names) {
        snd_mixer_elem_t* e = findElement(mixer.get(), name);
        if (!e)
            continue;
        anyLine = true;
        if (capture ? snd_mixer_selem_has_capture_volume(e)
                    : snd_mixer_selem_has_playback_volume(e)) {
            element = e;
            break;
        }
    }
    if (!anyLine)
        return Result::NoLine;
    if (!element)
        return Result::NoControl;

    long min = 0;
    long max = 0;
    const int rangeResult = capture
                                ? snd_mixer_selem_get_capture_volume_range(element, &min, &max)
                                : snd_mixer_selem_get_playback_volume_range(element, &min, &max);
    if (rangeResult < 0)
        return Result::Refused;
    if (write) {
        const long raw = toControlValue(value, min, max);
        const int r = capture ? snd_mixer_selem_set_capture_volume_all(element, raw)
                              : snd_mixer_selem_set_playback_volume_all(element, raw);
        return r < 0 ? Result::Refused : Result::Ok;
    }
    long raw = 0;
    const int r =
        capture ? snd_mixer_selem_get_capture_volume(element, SND_MIXER_SCHN_FRONT_LEFT, &raw)
                : snd_mixer_selem_get_playback_volume(element, SND_MIXER_SCHN_FRONT_LEFT, &raw);
    if (r < 0)
        return Result::Refused;
    value = fromControlValue(raw, min, max);
    return Result::Ok;
}
