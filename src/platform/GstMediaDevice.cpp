#include "platform/GstMediaDevice.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>
#include <alsa/asoundlib.h>
#include <atomic>
#include <cmath>
#include <cstring>
#include <gst/audio/gstaudiobasesink.h>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <mutex>

namespace {
// playbin's flags: audio only, volume applied in software (so it also works
// on sinks without a volume of their own, and a fade never reaches the
// system mixer).
constexpr guint kPlayFlagAudio = 1u << 1;
constexpr guint kPlayFlagSoftVolume = 1u << 4;

constexpr int kOpenTimeoutMs = 5000;
constexpr int kRampMs = 80;
constexpr int kRampStepMs = 10;
// Sound already handed to the output when a fade to silence ends; halting
// before it has been heard would cut it off with a click.
constexpr int kOutputDrainMs = 150;
// Output recovery: a song due or playing is tried again often, so that it is
// heard as soon as the output is back; one only held (paused in the player)
// is not worth rebuilding a stream for four times a second.
constexpr int kRetryDueMs = 250;
constexpr int kRetryIdleMs = 2000;
constexpr int kWatchMs = 3000;

// The chosen output (empty: the system's default). Read also by checks on
// the check pool's thread, which may still run while the program ends: it
// is never destroyed, so a check cannot meet a lock already gone.
struct ChosenOutput {
    QMutex lock;
    QString output;
};
ChosenOutput& chosenOutput() {
    static auto* chosen = new ChosenOutput;
    return *chosen;
}

QString factoryName(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory ? QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)))
                   : QString();
}

// True when an automatic sink somewhere inside `element` fell back to a fake
// sink, that is, found no sound server and no card.
bool autoSinkFellBack(GstElement* element) {
    if (!GST_IS_BIN(element))
        return false;
    const bool isAuto = factoryName(element) == QLatin1String("autoaudiosink");
    bool fellBack = false;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(element));
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it, &item)) {
        case GST_ITERATOR_OK: {
            auto* child = GST_ELEMENT(g_value_get_object(&item));
            const QString name = factoryName(child);
            if (isAuto &&
                (name == QLatin1String("fakesink") || name == QLatin1String("fakeaudiosink")))
                fellBack = true;
            else if (autoSinkFellBack(child))
                fellBack = true;
            g_value_reset(&item);
            break;
        }
        case GST_ITERATOR_RESYNC:
            gst_iterator_resync(it);
            break;
        default:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return fellBack;
}

QString noOutputText() {
    return GstMediaDevice::tr("没有可用的声音输出设备，广播将没有声音！");
}

GstElement* parseSink(const QByteArray& description, const QString& what, QString* error) {
    GError* err = nullptr;
    GstElement* sink = gst_parse_bin_from_description(description.constData(), TRUE, &err);
    if (!sink || err) {
        *error = GstMediaDevice::tr("%1“%2”无效：%3")
                     .arg(what, QString::fromLocal8Bit(description),
                          err ? QString::fromUtf8(err->message) : QString());
        if (err)
            g_error_free(err);
        if (sink)
            gst_object_unref(sink);
        return nullptr;
    }
    return sink;
}

// What the streams play to now: VORN_AUDIO_SINK, else the chosen output;
// empty: the automatic sink.
QString effectiveOutput() {
    const QByteArray forced = qgetenv("VORN_AUDIO_SINK").trimmed();
    return forced.isEmpty() ? GstMediaDevice::output() : QString::fromLocal8Bit(forced);
}

GstElement* makeAudioSink(QString* error) {
    return GstMediaDevice::makeSink(GstMediaDevice::output(), error);
}

// The card named by an ALSA device text ("hw:CARD=USB,DEV=0", "plughw:1"),
// empty when it names none.
QString alsaCardOf(const QString& description) {
    // Kept to the end, like the chosen output: checks use it too.
    static const auto* card =
        new QRegularExpression(QStringLiteral("device\\s*=\\s*\"?\\w*hw:(?:CARD=)?([^,\\s\"]+)"));
    const QRegularExpressionMatch m = card->match(description);
    return m.hasMatch() ? m.captured(1) : QString();
}

// Checks of the output while nothing plays run here, away from the device's
// own thread (a hung sound server must not hold up a song being opened).
QThreadPool& checkPool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

QByteArray uriOf(const QString& fileName) {
    gchar* uri = gst_filename_to_uri(
        QFile::encodeName(QFileInfo(fileName).absoluteFilePath()).constData(), nullptr);
    const QByteArray out(uri ? uri : "");
    g_free(uri);
    return out;
}

// True when the element is a sound card or sound server output (or inside one).
bool isAudioOutput(GstObject* object) {
    for (GstObject* o = object; o; o = GST_OBJECT_PARENT(o))
        if (GST_IS_AUDIO_BASE_SINK(o))
            return true;
    return false;
}

MediaDevice::Failure failureOf(const GError* err) {
    if (!err)
        return MediaDevice::Failure::Other;
    if (err->domain == GST_RESOURCE_ERROR) {
        if (err->code == GST_RESOURCE_ERROR_NOT_FOUND)
            return MediaDevice::Failure::Missing;
        if (err->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED ||
            err->code == GST_RESOURCE_ERROR_OPEN_READ || err->code == GST_RESOURCE_ERROR_READ)
            return MediaDevice::Failure::Unreadable;
        return MediaDevice::Failure::Other;
    }
    if (err->domain == GST_STREAM_ERROR || err->domain == GST_CORE_ERROR)
        return MediaDevice::Failure::Undecodable;
    return MediaDevice::Failure::Other;
}

// --- MP3 frame headers -------------------------------------------------------

struct Mp3Frame {
    int size = 0;
    int samples = 0;
    int sampleRate = 0;
};

bool parseMp3Header(const uchar* p, Mp3Frame& frame) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int version = (p[1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = (p[1] >> 1) & 3;   // 1: III, 2: II, 3: I
    const int bitrateIndex = (p[2] >> 4) & 15;
    const int rateIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int rates[3][3] = {
        {11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    static const int bitrates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // 1, I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // 1, II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // 1, III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // 2, I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // 2, II/III
    };
    const bool mpeg1 = version == 3;
    const int sampleRate = rates[version == 0 ? 0 : version - 1][rateIndex];
    const int row = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const int bitrate = bitrates[row][bitrateIndex] * 1000;
    if (layer == 3) {
        frame.samples = 384;
        frame.size = (12 * bitrate / sampleRate + padding) * 4;
    } else if (layer == 2 || mpeg1) {
        frame.samples = 1152;
        frame.size = 144 * bitrate / sampleRate + padding;
    } else {
        frame.samples = 576;
        frame.size = 72 * bitrate / sampleRate + padding;
    }
    frame.sampleRate = sampleRate;
    return frame.size >= 4;
}
} // namespace

// --- streams -----------------------------------------------------------------

namespace {
// Who receives what the device's thread, the streaming threads and the probes
// find out. Cleared when the device goes; late news is then dropped.
struct Owner {
    QMutex lock;
    GstMediaDevice* device = nullptr;

    void post(std::function<void(GstMediaDevice*)> fn) {
        QMutexLocker locked(&lock);
        if (!device)
            return;
        GstMediaDevice* d = device;
        QMetaObject::invokeMethod(
            d, [d, fn = std::move(fn)] { fn(d); }, Qt::QueuedConnection);
    }
};
} // namespace

struct GstMediaDevice::Stream {
    int index = 0;
    std::shared_ptr<Owner> owner;
    // Opens so far; stamped on bus messages so that news of an earlier file
    // is told apart.
    std::atomic<int> generation{0};

    QMutex elementLock; // guards playbin for the caller's thread
    GstElement* playbin = nullptr;

    QMutex nextLock; // guards the four below, read by about-to-finish
    QWaitCondition nextDecided;
    QByteArray nextUri;
    QByteArray switchedTo;
    bool nextPending = false; // a next song is still being tried
    int nextToken = 0;
    int releases = 0; // a waiting streaming thread gives up when this moves

    // The volume a file is opened at (the latest the caller set).
    std::atomic<double> volume{1.0};
    // Used on the device's thread only.
    double prerolledVolume = 1.0;
    // An error was posted since the stream was last reset. A playbin whose
    // preroll failed is not at rest in READY: its earlier source can start
    // again with the next state change and fail in the name of the next
    // file. Such a stream goes through NULL before it is used again.
    std::atomic<bool> errored{false};
    // rest() is bringing the stream down: what its threads post meanwhile
    // is of the run being ended.
    std::atomic<bool> resting{false};
    // The output the stream was built for (effectiveOutput()), and whether
    // its automatic sink found nothing real to play to.
    QString builtFor;
    bool fellBack = false;

    // A file opened ahead is held before the sink: its sound is decoded up
    // to the sink's door but the sink gets nothing (not even the format)
    // until play. A sink that prerolls holds its sound server stream open
    // while it waits, and PulseAudio's clock for that stream runs on while
    // it is corked: the first sound would then be placed as far into the
    // stream as it was held, so a song cued 3 s ahead would be heard 3 s
    // late. A sink first fed at play opens its stream then and plays at once.
    GstPad* heldPad = nullptr; // device's thread only
    gulong holdProbe = 0;
    std::atomic<bool> reachedHold{false};

    ~Stream() { destroy(); }

    // A new reference to the playbin, or null.
    GstElement* ref() {
        QMutexLocker locked(&elementLock);
        return playbin ? GST_ELEMENT(gst_object_ref(playbin)) : nullptr;
    }

    bool build(QString* error);
    void destroy();
    void releaseWaiter();
    void rest();
    void open(int gen, const QByteArray& uri, qint64 at, bool andPlay);
    void play(int gen, bool fromStart, bool restart);
    void setState(int gen, GstState state, bool rewind);
    void seek(int gen, qint64 ms);
    void hold();
    void letGo();
    GstStateChangeReturn waitHeld();

    static GstBusSyncReply onBus(GstBus*, GstMessage* message, gpointer data);
    static void onAboutToFinish(GstElement* playbin, gpointer data);
};

struct GstMediaDevice::Slot {
    std::shared_ptr<Stream> stream;
    int generation = 0;
    int haltToken = 0; // a halt put off until a fade ends is void once this moves
    QString file;
    Mode mode = Mode::NotOpen;
    bool ready = false;  // prerolled
    bool failed = false; // the file cannot be played
    bool atEnd = false;  // played to the end
    bool needsRestart = false;
    bool cue = false;
    bool outputLost = false;
    bool retrying = false; // a retry of the output is on its way
    bool nowhere = false;  // opened on a stream that found no real output
    qint64 length = 0;
    qint64 framesLength = -1;
    qint64 seekTarget = -1; // a seek not yet done
    mutable qint64 lastPosition = 0;
    double volume = 1.0;
    QString next; // accepted as the next song
};

GstBusSyncReply GstMediaDevice::Stream::onBus(GstBus*, GstMessage* message, gpointer data) {
    auto* s = static_cast<Stream*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_STREAM_START:
    case GST_MESSAGE_DURATION_CHANGED:
        break;
    default:
        return GST_BUS_DROP;
    }
    // The first error of a run tells what went wrong. Those after it (the
    // source, its data refused: "internal data stream error"), and any of
    // the run being brought down, say nothing new; passed on, they could
    // reach the device after it had started the file again, and end that
    // run or send it back to the beginning.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR &&
        (s->errored.exchange(true) || s->resting.load()))
        return GST_BUS_DROP;
    const int gen = s->generation.load();
    const int index = s->index;
    gst_message_ref(message);
    QMutexLocker locked(&s->owner->lock);
    if (GstMediaDevice* d = s->owner->device) {
        QMetaObject::invokeMethod(
            d,
            [d, index, gen, message] {
                d->handleMessage(index, gen, message);
                gst_message_unref(message);
            },
            Qt::QueuedConnection);
    } else {
        gst_message_unref(message);
    }
    return GST_BUS_DROP;
}

void GstMediaDevice::Stream::onAboutToFinish(GstElement* playbin, gpointer data) {
    // On a streaming thread, near the end of the song's data: the next song
    // is set now so that its sound follows without a gap.
    auto* s = static_cast<Stream*>(data);
    QMutexLocker locked(&s->nextLock);
    // A short song may have all its data read long before it ends: the next
    // one still being tried is waited for here (the output meanwhile plays
    // what it holds).
    // A song whose data was all read at its start is also given the time
    // until shortly before its end for a next song to be set at all.
    gint64 position = 0;
    gint64 duration = 0;
    qint64 leftMs = 0;
    if (!gst_element_query_position(playbin, GST_FORMAT_TIME, &position) || position < 0)
        position = 0; // still prerolling
    if (gst_element_query_duration(playbin, GST_FORMAT_TIME, &duration) && duration > position)
        leftMs = (duration - position) / GST_MSECOND;
    QDeadlineTimer mayStillCome(qMax<qint64>(0, leftMs - 500));
    QDeadlineTimer tried(kOpenTimeoutMs);
    const int releases = s->releases;
    while (s->nextUri.isEmpty() && s->releases == releases) {
        const QDeadlineTimer& until = s->nextPending ? tried : mayStillCome;
        if (until.hasExpired() || !s->nextDecided.wait(&s->nextLock, until)) {
            if (!s->nextPending || tried.hasExpired())
                break;
        }
    }
    if (s->nextUri.isEmpty() || s->releases != releases)
        return;
    g_object_set(playbin, "uri", s->nextUri.constData(), nullptr);
    s->switchedTo = s->nextUri;
    s->nextUri.clear();
}

bool GstMediaDevice::Stream::build(QString* error) {
    if (playbin)
        return true;
    initGStreamer();
    GstElement* bin = gst_element_factory_make("playbin", nullptr);
    if (!bin) {
        *error = tr("找不到 GStreamer 的 playbin（请安装 gstreamer1.0-plugins-base）。");
        return false;
    }
    const QString wanted = effectiveOutput();
    GstElement* sink = makeAudioSink(error);
    if (!sink) {
        gst_object_unref(bin);
        return false;
    }
    // The sink is opened by itself first: playbin takes it into its
    // pipeline only with a file, and until it is opened an automatic sink
    // holds a stand-in that plays nowhere.
    gst_object_ref_sink(sink);
    const bool opened = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    fellBack = opened && autoSinkFellBack(sink);
    g_object_set(bin, "audio-sink", sink, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
    gst_object_unref(sink);
    gst_object_ref_sink(bin);
    GstBus* bus = gst_element_get_bus(bin);
    gst_bus_set_sync_handler(bus, &Stream::onBus, this, nullptr);
    gst_object_unref(bus);
    g_signal_connect(bin, "about-to-finish", G_CALLBACK(&Stream::onAboutToFinish), this);
    {
        QMutexLocker locked(&elementLock);
        playbin = bin;
    }
    builtFor = wanted;
    errored.store(false);
    // The output is opened now, not when the first song is due.
    gst_element_set_state(bin, GST_STATE_READY);
    QString problem;
    if (!opened)
        problem = tr("声音输出设备无法打开，广播将没有声音！");
    else if (fellBack)
        problem = noOutputText();
    owner->post([problem](GstMediaDevice* d) { d->reportOutput(problem); });
    return true;
}

void GstMediaDevice::Stream::releaseWaiter() {
    // A streaming thread waiting for a next song must not hold a state change.
    QMutexLocker locked(&nextLock);
    ++releases;
    nextDecided.wakeAll();
}

void GstMediaDevice::Stream::hold() {
    letGo();
    GstElement* sink = nullptr;
    g_object_get(playbin, "audio-sink", &sink, nullptr);
    if (!sink)
        return;
    heldPad = gst_element_get_static_pad(sink, "sink");
    gst_object_unref(sink);
    if (!heldPad)
        return;
    reachedHold.store(false);
    holdProbe = gst_pad_add_probe(
        heldPad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo*, gpointer data) {
            static_cast<Stream*>(data)->reachedHold.store(true);
            return GST_PAD_PROBE_OK;
        },
        this, nullptr);
}

void GstMediaDevice::Stream::letGo() {
    if (!heldPad)
        return;
    if (holdProbe)
        gst_pad_remove_probe(heldPad, holdProbe);
    holdProbe = 0;
    gst_object_unref(heldPad);
    heldPad = nullptr;
}

GstStateChangeReturn GstMediaDevice::Stream::waitHeld() {
    // The sink cannot preroll while it is held: the file is ready once its
    // sound reached the sink, or once the stream settled without feeding
    // the sink at all (a file without sound), or failed.
    QDeadlineTimer deadline(kOpenTimeoutMs);
    for (;;) {
        const GstStateChangeReturn ret =
            gst_element_get_state(playbin, nullptr, nullptr, 5 * GST_MSECOND);
        if (ret != GST_STATE_CHANGE_ASYNC)
            return ret;
        if (errored.load())
            return GST_STATE_CHANGE_FAILURE;
        if (reachedHold.load())
            return GST_STATE_CHANGE_SUCCESS;
        if (deadline.hasExpired())
            return GST_STATE_CHANGE_ASYNC;
    }
}

void GstMediaDevice::Stream::rest() {
    // Brings the stream to READY with every streaming thread of the earlier
    // file stopped; nothing of that file is posted after this.
    // A held stream is let go only once stopped: sound let through to a
    // sink that is being taken down (its server may be gone) would fail in
    // the name of the file.
    releaseWaiter();
    resting.store(true);
    const auto restingDone = qScopeGuard([this] { resting.store(false); });
    if (errored.exchange(false)) {
        gst_element_set_state(playbin, GST_STATE_NULL);
        letGo();
        if (gst_element_set_state(playbin, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
            owner->post([](GstMediaDevice* d) {
                d->reportOutput(tr("声音输出设备无法打开，广播将没有声音！"));
            });
        return;
    }
    gst_element_set_state(playbin, GST_STATE_READY);
    letGo();
}

void GstMediaDevice::Stream::destroy() {
    releaseWaiter();
    GstElement* bin = nullptr;
    {
        QMutexLocker locked(&elementLock);
        bin = playbin;
        playbin = nullptr;
    }
    if (!bin)
        return;
    gst_element_set_state(bin, GST_STATE_NULL);
    letGo();
    GstBus* bus = gst_element_get_bus(bin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    g_signal_handlers_disconnect_by_data(bin, this);
    gst_object_unref(bin);
}

void GstMediaDevice::Stream::open(int gen, const QByteArray& uri, qint64 at, bool andPlay) {
    // Another output was chosen, or the last build found none (the sound
    // server may be back): the stream is built anew.
    if (playbin && (fellBack || builtFor != effectiveOutput()))
        destroy();
    QString error;
    if (!build(&error)) {
        owner->post([index = index, gen, error](GstMediaDevice* d) {
            d->reportOutput(error);
            d->handleOpened(index, gen, false, error, -2, true);
        });
        return;
    }
    const double volume = this->volume.load();
    // Back to READY drops the earlier file; its messages end here.
    rest();
    generation.store(gen);
    g_object_set(playbin, "uri", uri.constData(), "volume", volume, nullptr);
    hold();
    GstStateChangeReturn ret = gst_element_set_state(playbin, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_ASYNC)
        ret = heldPad
                  ? waitHeld()
                  : gst_element_get_state(playbin, nullptr, nullptr, kOpenTimeoutMs * GST_MSECOND);
    bool ok = ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL;
    QString why;
    if (ok) {
        gint audioStreams = 0;
        g_object_get(playbin, "n-audio", &audioStreams, nullptr);
        if (audioStreams < 1) {
            ok = false;
            why = tr("文件中没有可播放的声音");
        }
    } else if (ret == GST_STATE_CHANGE_ASYNC) {
        why = tr("打开超时");
    }
    if (!ok) {
        errored.store(true); // also when it only timed out
        rest();
    } else {
        if (at > 0)
            gst_element_seek_simple(playbin, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    at * GST_MSECOND);
        prerolledVolume = volume;
        if (andPlay) {
            gst_element_set_state(playbin, GST_STATE_PLAYING);
            letGo();
        }
    }
    gchar* file = g_filename_from_uri(uri.constData(), nullptr, nullptr);
    const qint64 frames = ok && file ? mp3LengthFromFrames(QFile::decodeName(file)) : -1;
    g_free(file);
    owner->post([index = index, gen, ok, why, frames, noOutput = fellBack](GstMediaDevice* d) {
        d->handleOpened(index, gen, ok, why, frames, noOutput);
    });
}

void GstMediaDevice::Stream::play(int gen, bool fromStart, bool restart) {
    if (!playbin || generation.load() != gen)
        return;
    if (restart) {
        // The stream stopped on an error: start it again from the beginning.
        rest();
        gst_element_set_state(playbin, GST_STATE_PAUSED);
    } else {
        // The sink holds the first piece of sound since the file was
        // prerolled, at the volume of that moment. After a volume change it
        // is prerolled again at the same place, so that piece does not sound
        // at the old level.
        gdouble volume = 1.0;
        g_object_get(playbin, "volume", &volume, nullptr);
        gint64 pos = 0;
        if (fromStart || std::abs(volume - prerolledVolume) > 1e-6) {
            if (!fromStart &&
                (!gst_element_query_position(playbin, GST_FORMAT_TIME, &pos) || pos < 0))
                pos = 0;
            gst_element_seek_simple(playbin, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    pos);
            prerolledVolume = volume;
        }
    }
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    letGo();
}

void GstMediaDevice::Stream::setState(int gen, GstState state, bool rewind) {
    if (!playbin || generation.load() != gen)
        return;
    if (state <= GST_STATE_READY) {
        rest();
    } else {
        // A stream readied anew (after an error, it went through NULL) and
        // left paused is held before the sink like a file opened ahead, so
        // that it is heard at once when it plays, however long it waited.
        GstState current = GST_STATE_VOID_PENDING;
        gst_element_get_state(playbin, &current, nullptr, 0);
        if (state == GST_STATE_PAUSED && current <= GST_STATE_READY && !heldPad)
            hold();
        gst_element_set_state(playbin, state);
    }
    if (state == GST_STATE_PLAYING)
        letGo();
    if (rewind) {
        gst_element_seek_simple(playbin, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0);
        gdouble volume = 1.0;
        g_object_get(playbin, "volume", &volume, nullptr);
        prerolledVolume = volume;
    }
}

void GstMediaDevice::Stream::seek(int gen, qint64 ms) {
    if (!playbin || generation.load() != gen)
        return;
    // A stream readied anew and held has no way to its file's data until
    // it reached the hold: a seek sent before would be lost.
    if (heldPad && !reachedHold.load())
        waitHeld();
    gst_element_seek_simple(playbin, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            ms * GST_MSECOND);
    if (!heldPad) // a held stream settles only once it plays
        gst_element_get_state(playbin, nullptr, nullptr, kOpenTimeoutMs * GST_MSECOND);
    owner->post([index = index, gen, ms](GstMediaDevice* d) {
        Slot& slot = *d->m_slots[index];
        if (slot.generation == gen && slot.seekTarget == ms)
            slot.seekTarget = -1;
    });
}

// --- set-up ------------------------------------------------------------------

void GstMediaDevice::initGStreamer() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
    });
}

void GstMediaDevice::setOutput(const QString& sinkDescription) {
    ChosenOutput& chosen = chosenOutput();
    QMutexLocker locked(&chosen.lock);
    chosen.output = sinkDescription.trimmed();
}

QString GstMediaDevice::output() {
    ChosenOutput& chosen = chosenOutput();
    QMutexLocker locked(&chosen.lock);
    return chosen.output;
}

GstElement* GstMediaDevice::makeSink(const QString& chosen, QString* error) {
    initGStreamer();
    const QByteArray forced = qgetenv("VORN_AUDIO_SINK").trimmed();
    if (!forced.isEmpty())
        return parseSink(forced, QStringLiteral("声音输出设置 VORN_AUDIO_SINK="), error);
    if (!chosen.trimmed().isEmpty())
        return parseSink(chosen.trimmed().toUtf8(), tr("声音输出"), error);
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!sink)
        *error = tr("找不到 GStreamer 的 autoaudiosink（请安装 gstreamer1.0-plugins-good）。");
    return sink;
}

bool GstMediaDevice::sinkFellBack(GstElement* sink) {
    return sink && autoSinkFellBack(sink);
}

QString GstMediaDevice::probeOutput() {
    const QString output = effectiveOutput();
    if (output.startsWith(QLatin1String("alsasink"))) {
        // The streams may hold the card open: only whether it is there.
        const QString card = alsaCardOf(output);
        if (!card.isEmpty() && snd_card_get_index(card.toLocal8Bit().constData()) < 0)
            return tr("声音输出设备已断开（%1），广播将没有声音！").arg(card);
        return {};
    }
    // The sound server (or whatever the automatic sink finds) answers.
    if (output.isEmpty() || output.startsWith(QLatin1String("pulsesink")) ||
        output.startsWith(QLatin1String("autoaudiosink")))
        return checkAudioOutput();
    return {};
}

namespace {
// The media devices of the program (all live on the window's thread).
QList<GstMediaDevice*>& allDevices() {
    static QList<GstMediaDevice*> devices;
    return devices;
}

// The thread of a device: runs what is posted to it, in order.
class DeviceThread : public QThread {
protected:
    void run() override { exec(); }
};
} // namespace

GstMediaDevice::GstMediaDevice(QObject* parent) : MediaDevice(parent) {
    auto owner = std::make_shared<Owner>();
    owner->device = this;
    for (int i = 0; i < 2; ++i) {
        m_slots[i] = std::make_unique<Slot>();
        m_slots[i]->stream = std::make_shared<Stream>();
        m_slots[i]->stream->index = i;
        m_slots[i]->stream->owner = owner;
    }
    m_thread = new DeviceThread;
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start();

    m_rampTimer.setInterval(kRampStepMs);
    m_rampTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_rampTimer, &QTimer::timeout, this, &GstMediaDevice::rampStep);
    m_retryTimer.setInterval(kRetryIdleMs);
    connect(&m_retryTimer, &QTimer::timeout, this, &GstMediaDevice::retryOutput);
    allDevices().append(this);
    m_watchTimer.setInterval(kWatchMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &GstMediaDevice::checkOutput);
}

GstMediaDevice::~GstMediaDevice() {
    allDevices().removeAll(this);
    {
        std::shared_ptr<Owner> owner = m_slots[0]->stream->owner;
        QMutexLocker locked(&owner->lock);
        owner->device = nullptr;
    }
    // The streams are taken down on the device's thread, which then ends by
    // itself; nothing here waits for it.
    std::shared_ptr<Stream> a = m_slots[0]->stream;
    std::shared_ptr<Stream> b = m_slots[1]->stream;
    post([a, b] {
        a->destroy();
        b->destroy();
    });
    QMetaObject::invokeMethod(
        m_worker, [t = m_thread] { t->quit(); }, Qt::QueuedConnection);
}

void GstMediaDevice::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(m_worker, std::move(fn), Qt::QueuedConnection);
}

void GstMediaDevice::warmUp() {
    for (auto& slot : m_slots) {
        std::shared_ptr<Stream> s = slot->stream;
        post([s] {
            QString error;
            if (!s->build(&error))
                s->owner->post([error](GstMediaDevice* d) { d->reportOutput(error); });
        });
    }
}

QString GstMediaDevice::checkAudioOutput() {
    initGStreamer();
    QString error;
    GstElement* sink = makeAudioSink(&error);
    if (!sink)
        return error;
    gst_object_ref_sink(sink);
    QString problem;
    if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        problem = tr("声音输出设备无法打开，广播将没有声音！");
    else if (autoSinkFellBack(sink))
        problem = noOutputText();
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return problem;
}

void GstMediaDevice::reportOutput(const QString& problem) {
    if (problem == m_outputProblem)
        return;
    m_outputProblem = problem;
    emit outputProblem(problem);
}

// --- what the streams report -------------------------------------------------

void GstMediaDevice::handleOpened(int index, int gen, bool ok, const QString& why,
                                  qint64 framesLength, bool noRealOutput) {
    Slot& slot = *m_slots[index];
    if (slot.generation != gen)
        return;
    slot.retrying = false;
    if (slot.failed)
        return;
    if (!ok) {
        if (slot.outputLost)
            return; // the retry goes on
        // -2: the output could not be made at all.
        slotFailed(slot, framesLength == -2 ? Failure::Output : Failure::Undecodable,
                   why.isEmpty() ? tr("无法打开") : why);
        return;
    }
    slot.ready = true;
    slot.framesLength = framesLength;
    slot.nowhere = noRealOutput;
    if (!noRealOutput)
        m_hadOutput = true;
    paceWatch();
    if (slot.outputLost && !noRealOutput) {
        // Back on the output; the retries go on while it is not.
        slot.outputLost = false;
        if (!m_slots[0]->outputLost && !m_slots[1]->outputLost) {
            m_retryTimer.stop();
            reportOutput(QString());
        }
    }
    updateLength(slot);
}

void GstMediaDevice::handleMessage(int index, int gen, GstMessage* message) {
    Slot& slot = *m_slots[index];
    if (slot.generation != gen || slot.mode == Mode::NotOpen)
        return;
    const bool isActive = &slot == &active();
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (isActive && slot.mode == Mode::Playing)
            songEnded(slot);
        break;
    case GST_MESSAGE_ERROR: {
        GError* err = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &err, &debug);
        const QString text = err ? QString::fromUtf8(err->message) : tr("未知错误");
        const Failure why = failureOf(err);
        if (err)
            g_error_free(err);
        g_free(debug);
        if (isAudioOutput(GST_MESSAGE_SRC(message))) {
            outputLost(slot, text);
        } else if (slot.outputLost) {
            // The file's data stopped because the output went; the file is
            // tried again with the output.
        } else if (!slot.ready) {
            slotFailed(slot, why, text);
        } else if (slot.mode == Mode::Playing || slot.mode == Mode::Paused) {
            // A damaged file: the song ends here, the rest of the day goes on.
            m_error = tr("播放“%1”时出错：%2").arg(slot.file, text);
            qWarning("vorn: %s", qUtf8Printable(m_error));
            slot.needsRestart = true;
            std::shared_ptr<Stream> s = slot.stream;
            post([s, gen] { s->setState(gen, GST_STATE_READY, false); });
            if (isActive)
                songEnded(slot);
            else
                slot.mode = Mode::Stopped;
        } else {
            slot.needsRestart = true;
        }
        break;
    }
    case GST_MESSAGE_STREAM_START: {
        QByteArray switched;
        {
            QMutexLocker locked(&slot.stream->nextLock);
            switched.swap(slot.stream->switchedTo);
        }
        if (switched.isEmpty())
            break;
        // The next song took over without a gap. Its first sound is heard
        // once the output has played what it still holds of the last one.
        gchar* name = g_filename_from_uri(switched.constData(), nullptr, nullptr);
        const QString file = name ? QFile::decodeName(name) : m_next;
        g_free(name);
        slot.next.clear();
        if (m_next == file)
            m_next.clear();
        slot.file = file;
        slot.length = 0;
        slot.framesLength = -1;
        slot.lastPosition = 0;
        slot.atEnd = false;
        int heldMs = 0;
        if (GstElement* bin = slot.stream->ref()) {
            GstElement* sink = nullptr;
            g_object_get(bin, "audio-sink", &sink, nullptr);
            if (sink) {
                GstElement* real = sink;
                if (GST_IS_BIN(sink)) {
                    GstIterator* it = gst_bin_iterate_sinks(GST_BIN(sink));
                    GValue item = G_VALUE_INIT;
                    if (gst_iterator_next(it, &item) == GST_ITERATOR_OK)
                        real = GST_ELEMENT(gst_object_ref(g_value_get_object(&item)));
                    g_value_unset(&item);
                    gst_iterator_free(it);
                }
                if (GST_IS_AUDIO_BASE_SINK(real)) {
                    gint64 bufferUs = 0;
                    g_object_get(real, "buffer-time", &bufferUs, nullptr);
                    heldMs = int(qBound<gint64>(0, bufferUs / 1000, gint64(1000)));
                }
                if (real != sink)
                    gst_object_unref(real);
                gst_object_unref(sink);
            }
            gst_object_unref(bin);
        }
        const int token = slot.haltToken;
        QTimer::singleShot(heldMs, this, [this, index, gen, token, file] {
            Slot& s = *m_slots[index];
            if (s.generation != gen || s.haltToken != token || s.file != file)
                return;
            updateLength(s);
            emit nextStarted(file);
        });
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
        updateLength(slot);
        break;
    default:
        break;
    }
}

void GstMediaDevice::slotFailed(Slot& slot, Failure why, const QString& text) {
    slot.failed = true;
    const QString file = slot.file;
    m_failure = why;
    m_error = mediaFailureText(why, file) + QStringLiteral(" (") + text + QLatin1Char(')');
    qWarning("vorn: %s", qUtf8Printable(m_error));
    if (&slot == &active()) {
        slot.mode = Mode::NotOpen;
        slot.file.clear();
        slot.length = 0;
    }
    emit failed(file, why, text);
}

void GstMediaDevice::songEnded(Slot& slot) {
    slot.atEnd = true;
    slot.mode = Mode::Stopped;
    settleVolume(slot);
    std::shared_ptr<Stream> s = slot.stream;
    const int gen = slot.generation;
    post([s, gen] { s->setState(gen, GST_STATE_PAUSED, false); });
    if (m_notify)
        emit finished();
}

void GstMediaDevice::updateLength(Slot& slot) {
    // Not while the file is still being opened: the decoder's guess can come
    // before the count of the MP3's frames, and would be shown for a moment.
    if (!slot.ready)
        return;
    const qint64 before = slot.length;
    if (slot.framesLength > 0) {
        slot.length = slot.framesLength;
    } else if (GstElement* bin = slot.stream->ref()) {
        gint64 duration = 0;
        if (gst_element_query_duration(bin, GST_FORMAT_TIME, &duration) && duration > 0)
            slot.length = duration / GST_MSECOND;
        gst_object_unref(bin);
    }
    if (slot.length != before && &slot == &active())
        emit lengthChanged(slot.length);
}

void GstMediaDevice::outputLost(Slot& slot, const QString& why) {
    if (slot.outputLost)
        return;
    slot.outputLost = true;
    slot.ready = false;
    qWarning("vorn: sound output lost: %s", qUtf8Printable(why));
    reportOutput(tr("声音输出中断（%1），正在重试……").arg(why));
    std::shared_ptr<Stream> s = slot.stream;
    post([s] { s->destroy(); });
    releaseOutputEverywhere();
}

void GstMediaDevice::releaseOutputEverywhere() {
    // The sound server's client library hands the connection of a stream
    // still open to every new output of the program: one stream kept ready
    // with a dead connection keeps all of them from reaching the server once
    // it is back. So every device lets go of the output now.
    for (GstMediaDevice* d : allDevices())
        d->releaseOutput();
}

void GstMediaDevice::releaseOutput() {
    bool retry = false;
    for (auto& each : m_slots) {
        Slot& slot = *each;
        if (slot.mode == Mode::NotOpen || slot.file.isEmpty()) {
            // Nothing open: built anew with the next file.
            std::shared_ptr<Stream> s = slot.stream;
            post([s] { s->destroy(); });
        } else if (!slot.outputLost) {
            // Opened again (where it was) once the output answers.
            slot.outputLost = true;
            slot.ready = false;
            std::shared_ptr<Stream> s = slot.stream;
            post([s] { s->destroy(); });
            retry = true;
        } else {
            retry = true;
        }
    }
    // Tried again at once: a server that restarts is often back before the
    // next retry would come.
    if (retry)
        retryOutput();
}

void GstMediaDevice::retryOutput() {
    bool lost = false;
    bool due = false;
    for (auto& each : m_slots) {
        Slot& slot = *each;
        if (!slot.outputLost)
            continue;
        if (slot.file.isEmpty() || slot.mode == Mode::NotOpen) {
            // Nothing to go on with: the next file builds a new stream anyway.
            slot.outputLost = false;
            continue;
        }
        lost = true;
        const bool andPlay = &slot == &active() && slot.mode == Mode::Playing;
        if (andPlay || slot.cue)
            due = true;
        if (slot.retrying)
            continue; // one try at a time: a hung server must not pile them up
        // The song goes on where it was last heard, on a stream built anew.
        // One that was due while the output was away starts from its
        // beginning: nothing of a broadcast is skipped, and the retries are
        // quick enough for it to be only a moment late.
        slot.retrying = true;
        const qint64 at = slot.atEnd ? 0 : slot.lastPosition;
        const int gen = ++slot.generation;
        std::shared_ptr<Stream> s = slot.stream;
        const QByteArray uri = uriOf(slot.file);
        post([s, gen, uri, at, andPlay] {
            s->destroy();
            s->open(gen, uri, at, andPlay);
        });
    }
    if (!lost) {
        m_retryTimer.stop();
        reportOutput(QString()); // a watch says so again if it is still out
        return;
    }
    const int interval = due ? kRetryDueMs : kRetryIdleMs;
    if (!m_retryTimer.isActive() || m_retryTimer.interval() != interval)
        m_retryTimer.start(interval);
}

void GstMediaDevice::watchOutput() {
    m_watchTimer.start();
}

bool GstMediaDevice::playsNowhere() const {
    for (const auto& slot : m_slots)
        if (slot->nowhere && slot->mode != Mode::NotOpen && !slot->file.isEmpty())
            return true;
    return false;
}

void GstMediaDevice::paceWatch() {
    // A song playing nowhere while the output is away moves back to it as
    // soon as it answers; otherwise a look now and then is enough. (Not on a
    // machine that never had an output: nothing would come of it.)
    if (!m_watchTimer.isActive())
        return;
    const int interval = m_hadOutput && playsNowhere() ? kRetryDueMs : kWatchMs;
    if (m_watchTimer.interval() != interval)
        m_watchTimer.start(interval);
}

void GstMediaDevice::checkOutput() {
    // While a song plays, or the output is being retried, the streams tell
    // of an outage themselves; not so a song playing nowhere.
    if (m_checking || m_slots[0]->outputLost || m_slots[1]->outputLost ||
        (active().mode == Mode::Playing && !playsNowhere()))
        return;
    m_checking = true;
    std::shared_ptr<Owner> owner = m_slots[0]->stream->owner;
    checkPool().start([owner] {
        const QString problem = probeOutput();
        owner->post([problem](GstMediaDevice* d) {
            d->m_checking = false;
            const bool nowhere = d->playsNowhere();
            if (d->m_slots[0]->outputLost || d->m_slots[1]->outputLost ||
                (d->active().mode == Mode::Playing && !nowhere))
                return;
            d->reportOutput(problem);
            // Once per outage: the streams let go of the output that went.
            if (!problem.isEmpty() && d->m_lastCheck.isEmpty())
                releaseOutputEverywhere();
            d->m_lastCheck = problem;
            if (problem.isEmpty()) {
                d->m_hadOutput = true;
                if (nowhere)
                    d->leaveNowhere();
            }
            d->paceWatch();
        });
    });
}

void GstMediaDevice::leaveNowhere() {
    // The output is back while a song plays (or waits) on a stream that
    // found none: the song moves to a stream built anew. One that was
    // playing starts from its beginning, as nothing of it was heard.
    bool moved = false;
    for (auto& each : m_slots) {
        Slot& slot = *each;
        if (!slot.nowhere || slot.mode == Mode::NotOpen || slot.file.isEmpty() || slot.outputLost)
            continue;
        slot.nowhere = false;
        slot.outputLost = true;
        slot.ready = false;
        if (slot.mode == Mode::Playing) {
            slot.atEnd = false;
            slot.lastPosition = 0;
            slot.seekTarget = -1;
        }
        std::shared_ptr<Stream> s = slot.stream;
        post([s] { s->destroy(); });
        moved = true;
    }
    if (moved)
        retryOutput();
}

// --- operations --------------------------------------------------------------

bool GstMediaDevice::checkFile(const QString& fileName) {
    m_error.clear();
    m_failure = Failure::None;
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.isFile()) {
        m_failure = Failure::Missing;
        m_error = tr("文件不存在：%1").arg(fileName);
        return false;
    }
    if (!info.isReadable()) {
        m_failure = Failure::Unreadable;
        m_error = tr("文件无法读取：%1").arg(fileName);
        return false;
    }
    return true;
}

void GstMediaDevice::startOpen(Slot& slot, const QString& fileName, int volume) {
    slot.generation++;
    slot.haltToken++;
    slot.file = fileName;
    slot.mode = Mode::Stopped;
    slot.ready = false;
    slot.failed = false;
    slot.atEnd = false;
    slot.needsRestart = false;
    slot.outputLost = false;
    slot.retrying = false;
    slot.nowhere = false;
    slot.length = 0;
    slot.framesLength = -1;
    slot.seekTarget = -1;
    slot.lastPosition = 0;
    slot.volume = volume / 1000.0;
    slot.stream->volume.store(slot.volume);
    slot.next.clear();
    {
        // Nothing of a next song set for the file before goes on.
        QMutexLocker locked(&slot.stream->nextLock);
        slot.stream->nextUri.clear();
        slot.stream->switchedTo.clear();
        slot.stream->nextPending = false;
        ++slot.stream->nextToken;
        slot.stream->nextDecided.wakeAll();
    }
    std::shared_ptr<Stream> s = slot.stream;
    const int gen = slot.generation;
    const QByteArray uri = uriOf(fileName);
    post([s, gen, uri] { s->open(gen, uri, 0, false); });
}

void GstMediaDevice::halt(Slot& slot, bool closeIt) {
    const bool wasPlaying = slot.mode == Mode::Playing;
    slot.haltToken++;
    slot.next.clear();
    {
        QMutexLocker locked(&slot.stream->nextLock);
        slot.stream->nextUri.clear();
        slot.stream->nextPending = false;
        ++slot.stream->nextToken;
        slot.stream->nextDecided.wakeAll();
    }
    if (closeIt) {
        slot.mode = Mode::NotOpen;
        slot.file.clear();
        slot.length = 0;
        slot.framesLength = -1;
        slot.ready = false;
        slot.outputLost = false;
    } else if (slot.mode != Mode::NotOpen) {
        slot.mode = Mode::Stopped;
    }
    slot.atEnd = false;
    slot.lastPosition = 0;
    slot.seekTarget = -1;
    // A fade still running (the fade-out stops the song in the same moment
    // as it sets the volume to 0) reaches its level first, and the sound the
    // output still holds is heard; the halt waits for that without holding
    // this thread.
    int delay = 0;
    if (wasPlaying && m_rampTimer.isActive() && m_rampSlot == &slot) {
        delay = rampRemainingMs();
        if (m_rampTo == 0)
            delay += kOutputDrainMs;
    }
    std::shared_ptr<Stream> s = slot.stream;
    // The stream's own generation: a halt never touches a later file.
    const int gen = slot.generation;
    auto command = [s, gen, closeIt] {
        s->setState(gen, closeIt ? GST_STATE_READY : GST_STATE_PAUSED, !closeIt);
    };
    if (delay <= 0) {
        post(command);
        return;
    }
    const int token = slot.haltToken;
    Slot* target = &slot;
    QTimer::singleShot(delay, this, [this, target, token, command] {
        if (target->haltToken == token)
            post(command);
    });
}

bool GstMediaDevice::open(const QString& fileName) {
    close();
    if (!checkFile(fileName))
        return false;
    // The file goes to the spare stream: the one that stopped can finish
    // its fade meanwhile.
    if (!m_cued.isEmpty()) {
        m_cued.clear();
        spare().cue = false;
    }
    m_active = 1 - m_active;
    startOpen(active(), fileName, m_targetVolume);
    return true;
}

bool GstMediaDevice::cue(const QString& fileName, int volume) {
    if (!m_cued.isEmpty())
        m_cued.clear();
    if (!checkFile(fileName))
        return false;
    Slot& slot = spare();
    // The spare may still be fading out a song that was stopped: its halt
    // is done now.
    startOpen(slot, fileName, qBound(0, volume, 1000));
    slot.cue = true;
    m_cued = fileName;
    m_cuedVolume = volume;
    return true;
}

bool GstMediaDevice::playCued(bool notify) {
    Slot& cued = spare();
    if (m_cued.isEmpty() || !cued.cue || cued.file != m_cued) {
        m_error = tr("没有准备好的歌曲");
        return false;
    }
    m_cued.clear();
    cued.cue = false;
    if (cued.failed) {
        m_error = mediaFailureText(m_failure, cued.file);
        return false;
    }
    halt(active(), true);
    m_active = 1 - m_active;
    m_targetVolume = int(std::lround(cued.volume * 1000));
    m_notify = notify;
    startPlaying(cued);
    return true;
}

void GstMediaDevice::startPlaying(Slot& slot) {
    const bool restart = slot.needsRestart;
    const bool fromStart = slot.atEnd;
    slot.needsRestart = false;
    slot.atEnd = false;
    if (fromStart || restart)
        slot.lastPosition = 0;
    slot.haltToken++;
    slot.mode = Mode::Playing;
    std::shared_ptr<Stream> s = slot.stream;
    if (slot.outputLost && !slot.retrying) {
        // The output is away: the song starts with the next try that
        // reaches it, and that try is made now.
        retryOutput();
        return;
    }
    // (A try on its way opens the file held; it plays once that is done.)
    const int gen = slot.generation;
    post([s, gen, fromStart, restart] { s->play(gen, fromStart, restart); });
}

bool GstMediaDevice::play(bool notify) {
    Slot& slot = active();
    if (slot.mode == Mode::NotOpen || slot.failed) {
        m_error = tr("没有打开的文件");
        return false;
    }
    m_notify = notify;
    startPlaying(slot);
    return true;
}

void GstMediaDevice::pause() {
    Slot& slot = active();
    if (slot.mode != Mode::Playing)
        return;
    position(); // remembered for the display while paused
    slot.mode = Mode::Paused;
    settleVolume(slot);
    std::shared_ptr<Stream> s = slot.stream;
    const int gen = slot.generation;
    post([s, gen] { s->setState(gen, GST_STATE_PAUSED, false); });
}

void GstMediaDevice::resume() {
    Slot& slot = active();
    if (slot.mode != Mode::Paused)
        return;
    startPlaying(slot);
}

void GstMediaDevice::stop() {
    Slot& slot = active();
    if (slot.mode == Mode::NotOpen)
        return;
    if (slot.needsRestart) {
        slot.mode = Mode::Stopped;
        slot.atEnd = false;
        slot.lastPosition = 0;
        return; // already at rest; the next play starts from the beginning
    }
    halt(slot, false);
    if (!(m_rampTimer.isActive() && m_rampSlot == &slot))
        applyVolumeTo(slot, m_targetVolume / 1000.0);
}

void GstMediaDevice::close() {
    Slot& slot = active();
    if (slot.mode != Mode::NotOpen || !slot.file.isEmpty())
        halt(slot, true);
    if (!(m_rampTimer.isActive() && m_rampSlot == &slot))
        applyVolumeTo(slot, m_targetVolume / 1000.0);
}

void GstMediaDevice::seek(qint64 ms) {
    Slot& slot = active();
    if (slot.mode == Mode::NotOpen)
        return;
    ms = qMax<qint64>(0, ms);
    if (slot.length > 0)
        ms = qMin(ms, slot.length);
    slot.atEnd = false;
    slot.lastPosition = ms;
    slot.seekTarget = ms;
    std::shared_ptr<Stream> s = slot.stream;
    const int gen = slot.generation;
    if (slot.needsRestart) {
        slot.needsRestart = false;
        const bool playing = slot.mode == Mode::Playing;
        post([s, gen, playing] {
            s->setState(gen, GST_STATE_READY, false);
            s->setState(gen, playing ? GST_STATE_PLAYING : GST_STATE_PAUSED, false);
        });
    }
    post([s, gen, ms] { s->seek(gen, ms); });
}

GstMediaDevice::Mode GstMediaDevice::mode() const {
    return active().mode;
}

QString GstMediaDevice::fileName() const {
    return active().file;
}

qint64 GstMediaDevice::length() const {
    return active().length;
}

qint64 GstMediaDevice::position() const {
    const Slot& slot = active();
    if (slot.mode == Mode::NotOpen)
        return 0;
    if (slot.atEnd)
        return slot.length;
    if (slot.seekTarget >= 0)
        return slot.seekTarget;
    if (slot.ready && !slot.needsRestart && !slot.outputLost &&
        (slot.mode == Mode::Playing || slot.mode == Mode::Paused)) {
        if (GstElement* bin = slot.stream->ref()) {
            gint64 pos = 0;
            if (gst_element_query_position(bin, GST_FORMAT_TIME, &pos) && pos >= 0)
                slot.lastPosition = pos / GST_MSECOND;
            gst_object_unref(bin);
        }
    }
    return slot.length > 0 ? qMin(slot.lastPosition, slot.length) : slot.lastPosition;
}

bool GstMediaDevice::setNext(const QString& fileName) {
    Slot& slot = active();
    ++m_nextToken;
    slot.next.clear();
    m_next.clear();
    std::shared_ptr<Stream> stream = slot.stream;
    int token = 0;
    {
        QMutexLocker locked(&stream->nextLock);
        stream->nextUri.clear();
        stream->nextPending = false;
        token = ++stream->nextToken;
        stream->nextDecided.wakeAll();
    }
    if (fileName.isEmpty())
        return true;
    const QString error = m_error;
    const Failure failure = m_failure;
    if (!checkFile(fileName))
        return false;
    m_error = error;
    m_failure = failure;
    m_next = fileName;
    {
        QMutexLocker locked(&stream->nextLock);
        stream->nextPending = true;
    }
    probeNext(fileName, token);
    return true;
}

void GstMediaDevice::probeNext(const QString& fileName, int token) {
    // Tried in the background (a broken file fails here, not at the end of
    // the song before it); handed to the stream when it decodes.
    std::shared_ptr<Stream> stream = active().stream;
    const QByteArray uri = uriOf(fileName);
    const int deviceToken = m_nextToken;
    QThreadPool::globalInstance()->start([stream, uri, fileName, token, deviceToken] {
        GstMediaDevice::initGStreamer();
        GError* err = nullptr;
        Failure why = Failure::None;
        QString text;
        GstDiscoverer* discoverer = gst_discoverer_new(kOpenTimeoutMs * GST_MSECOND, &err);
        if (discoverer) {
            GstDiscovererInfo* info =
                gst_discoverer_discover_uri(discoverer, uri.constData(), &err);
            if (info) {
                GList* audio = gst_discoverer_info_get_audio_streams(info);
                if (!audio)
                    why = Failure::Undecodable;
                gst_discoverer_stream_info_list_free(audio);
                gst_discoverer_info_unref(info);
            } else {
                why = Failure::Undecodable;
            }
            g_object_unref(discoverer);
        } else {
            why = Failure::Other;
        }
        if (why != Failure::None)
            text = err ? QString::fromUtf8(err->message) : tr("文件中没有可播放的声音");
        if (err)
            g_error_free(err);
        {
            QMutexLocker locked(&stream->nextLock);
            if (stream->nextToken == token) {
                stream->nextPending = false;
                if (why == Failure::None)
                    stream->nextUri = uri;
                stream->nextDecided.wakeAll();
            }
        }
        stream->owner->post([stream, fileName, deviceToken, why, text](GstMediaDevice* d) {
            if (deviceToken != d->m_nextToken || d->m_next != fileName)
                return; // another next song was set meanwhile
            Slot& slot = *d->m_slots[stream->index];
            if (why != Failure::None) {
                d->m_next.clear();
                emit d->nextFailed(fileName, why, text);
                return;
            }
            if (slot.file != fileName) // not taken over already
                slot.next = fileName;
        });
    });
}

// --- volume ------------------------------------------------------------------

void GstMediaDevice::applyVolumeTo(Slot& slot, double linear) {
    slot.volume = linear;
    // Taken by a file still being opened; set at once on one that is.
    slot.stream->volume.store(linear);
    if (GstElement* bin = slot.stream->ref()) {
        g_object_set(bin, "volume", linear, nullptr);
        gst_object_unref(bin);
    }
}

void GstMediaDevice::settleVolume(Slot& slot) {
    // A fade running on this stream jumps to its level.
    if (m_rampTimer.isActive() && m_rampSlot == &slot)
        m_rampTimer.stop();
    applyVolumeTo(slot, m_targetVolume / 1000.0);
}

void GstMediaDevice::setVolume(int level) {
    m_targetVolume = qBound(0, level, 1000);
    Slot& slot = active();
    if (slot.mode != Mode::Playing) {
        // Nothing is sounding: the new level can be set at once.
        settleVolume(slot);
        return;
    }
    m_rampSlot = &slot;
    m_rampFrom = slot.volume;
    m_rampTo = m_targetVolume / 1000.0;
    m_rampClock.start();
    m_rampTimer.start();
    rampStep();
}

int GstMediaDevice::rampRemainingMs() const {
    return m_rampTimer.isActive() ? int(qMax<qint64>(0, kRampMs - m_rampClock.elapsed())) : 0;
}

void GstMediaDevice::rampStep() {
    if (!m_rampSlot) {
        m_rampTimer.stop();
        return;
    }
    const double t = double(m_rampClock.elapsed()) / kRampMs;
    if (t >= 1.0) {
        m_rampTimer.stop();
        applyVolumeTo(*m_rampSlot, m_rampTo);
        return;
    }
    applyVolumeTo(*m_rampSlot, m_rampFrom + (m_rampTo - m_rampFrom) * t);
}

// --- MP3 length --------------------------------------------------------------

namespace {
// Reads a file forward in blocks. Nothing is mapped: a file that shrinks or is
// rewritten while it is counted only ends the count early, it cannot fault.
class BlockReader {
public:
    explicit BlockReader(QFile& file) : m_file(file) {}

    // Bytes [pos, pos + need) when the file holds them all, else nullptr.
    // The count moves forward; it looks back at most kKeep bytes.
    const uchar* at(qint64 pos, qint64 need) {
        if (pos < m_start)
            return nullptr;
        if (pos + need > m_start + m_buffer.size() && !fill(pos, need))
            return nullptr;
        return reinterpret_cast<const uchar*>(m_buffer.constData()) + (pos - m_start);
    }

private:
    static constexpr qint64 kBlock = 256 * 1024;
    static constexpr qint64 kKeep = 64 * 1024;

    bool fill(qint64 pos, qint64 need) {
        const qint64 end = m_start + m_buffer.size();
        if (pos > end) {
            // Jumping over a tag: what lies between is not read.
            if (!m_file.seek(pos))
                return false;
            m_buffer.clear();
            m_start = pos;
        } else {
            const qint64 keepFrom = qMax(m_start, pos - kKeep);
            m_buffer.remove(0, keepFrom - m_start);
            m_start = keepFrom;
        }
        const qint64 wanted = pos - m_start + need;
        while (m_buffer.size() < wanted && !m_ended) {
            const qsizetype old = m_buffer.size();
            m_buffer.resize(old + kBlock);
            const qint64 got = m_file.read(m_buffer.data() + old, kBlock);
            m_buffer.resize(old + qMax<qint64>(got, 0));
            if (got <= 0)
                m_ended = true;
        }
        return m_buffer.size() >= wanted;
    }

    QFile& m_file;
    QByteArray m_buffer;
    qint64 m_start = 0;
    bool m_ended = false;
};

// Size of an ID3v2 tag starting at pos (header, body and footer), 0 when none.
qint64 id3TagSize(BlockReader& in, qint64 pos) {
    const uchar* p = in.at(pos, 10);
    if (!p || p[0] != 'I' || p[1] != 'D' || p[2] != '3' || p[3] == 0xFF || p[4] == 0xFF ||
        ((p[6] | p[7] | p[8] | p[9]) & 0x80))
        return 0;
    const qint64 body = (qint64(p[6]) << 21) | (qint64(p[7]) << 14) | (qint64(p[8]) << 7) | p[9];
    return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

// Files of other kinds whose data could by chance hold something that looks
// like MP3 frames.
bool isOtherContainer(BlockReader& in) {
    const uchar* p = in.at(0, 4);
    if (!p)
        return false;
    static const uchar asf[4] = {0x30, 0x26, 0xB2, 0x75};
    return !std::memcmp(p, "RIFF", 4) || !std::memcmp(p, "OggS", 4) || !std::memcmp(p, "fLaC", 4) ||
           !std::memcmp(p, asf, 4) || !std::memcmp(p, "FORM", 4);
}

// The frame count of a Xing/Info or VBRI header in the first frame, -1 when
// the frame has no such header, 0 when it has one without a count.
qint64 vbrHeaderFrames(const uchar* frame, int size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(frame), size);
    auto big32 = [&](qsizetype at) -> qint64 {
        if (at < 0 || at + 4 > size)
            return 0;
        return (qint64(frame[at]) << 24) | (qint64(frame[at + 1]) << 16) |
               (qint64(frame[at + 2]) << 8) | frame[at + 3];
    };
    qsizetype at = bytes.indexOf("Xing");
    if (at < 0)
        at = bytes.indexOf("Info");
    if (at >= 0)
        return (big32(at + 4) & 1) ? big32(at + 8) : 0;
    at = bytes.indexOf("VBRI");
    if (at >= 0)
        return big32(at + 14);
    return -1;
}
} // namespace

qint64 GstMediaDevice::mp3LengthFromFrames(const QString& fileName) {
    // Only regular files: a FIFO or a device would block or never end.
    if (!QFileInfo(fileName).isFile())
        return -1;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    BlockReader in(file);
    if (isOtherContainer(in))
        return -1;

    qint64 pos = 0;
    // ID3v2 tags in front of the audio (sometimes more than one).
    while (const qint64 tag = id3TagSize(in, pos))
        pos += tag;

    auto header = [&](qint64 at, Mp3Frame& f) {
        const uchar* p = in.at(at, 4);
        return p && parseMp3Header(p, f);
    };
    auto atTag = [&](qint64 at) {
        const uchar* p = in.at(at, 3);
        return p && ((p[0] == 'T' && p[1] == 'A' && p[2] == 'G') ||
                     (p[0] == 'I' && p[1] == 'D' && p[2] == '3'));
    };
    auto atEnd = [&](qint64 at) { return !in.at(at, 4); };

    // The first frame: a header followed by another header where it says.
    Mp3Frame frame;
    bool found = false;
    for (const qint64 searchEnd = pos + 65536; pos < searchEnd && !atEnd(pos); ++pos) {
        Mp3Frame next;
        if (header(pos, frame) && header(pos + frame.size, next) &&
            next.sampleRate == frame.sampleRate) {
            found = true;
            break;
        }
    }
    if (!found)
        return -1;
    const int sampleRate = frame.sampleRate;

    // A frame counts when it lies whole in the file and is followed by
    // another one, by a tag or by the end of the file.
    auto frameAt = [&](qint64 at, Mp3Frame& f) {
        if (!header(at, f) || f.sampleRate != sampleRate || !in.at(at, f.size))
            return false;
        Mp3Frame next;
        const qint64 after = at + f.size;
        return atEnd(after) || (header(after, next) && next.sampleRate == sampleRate) ||
               atTag(after);
    };
    // After a stretch that is no audio, three frames in a row (or up to the
    // end) before counting resumes, so that stray bytes that look like a
    // header are not taken for sound.
    auto resumesAt = [&](qint64 at) {
        Mp3Frame f;
        for (int i = 0; i < 3; ++i) {
            if (atEnd(at))
                return i > 0;
            if (!frameAt(at, f))
                return false;
            at += f.size;
        }
        return true;
    };

    // A VBR header (Xing, Info or VBRI) in the first frame holds no sound
    // but says how many frames follow.
    const qint64 announced = vbrHeaderFrames(in.at(pos, frame.size), frame.size);
    if (announced >= 0)
        pos += frame.size;

    qint64 samples = 0;
    qint64 frames = 0;
    while (!atEnd(pos)) {
        if (frameAt(pos, frame)) {
            samples += frame.samples;
            ++frames;
            pos += frame.size;
            continue;
        }
        // Songs joined together carry their tags (with cover art) inside.
        if (const qint64 tag = id3TagSize(in, pos)) {
            pos += tag;
            continue;
        }
        // Damage, padding or a trailing tag: look further for more audio,
        // however long the stretch in between.
        qint64 next = pos + 1;
        const uchar* p = nullptr;
        while ((p = in.at(next, 4)) &&
               !((p[0] == 0xFF && resumesAt(next)) || (p[0] == 'I' && id3TagSize(in, next))))
            ++next;
        if (!p)
            break;
        pos = next;
    }
    // The header's own count agrees: the decoder knows the exact length
    // (less the encoder's padding). Otherwise the file was joined or cut.
    if (announced > 0 && qAbs(frames - announced) <= 2)
        return -1;
    if (announced == 0 && frames > 0)
        return -1;
    return frames > 0 ? samples * 1000 / sampleRate : -1;
}
