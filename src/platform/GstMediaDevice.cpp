#include "platform/GstMediaDevice.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <cstring>
#include <gst/gst.h>
#include <mutex>

namespace {
// playbin's flags: audio only, volume applied in software (so it also works
// on sinks without a volume of their own, and a fade never reaches the
// system mixer).
constexpr guint kPlayFlagAudio = 1u << 1;
constexpr guint kPlayFlagSoftVolume = 1u << 4;

constexpr int kOpenTimeoutMs = 5000;
constexpr int kSeekTimeoutMs = 2000;
constexpr int kRampMs = 80;
constexpr int kRampStepMs = 10;
// Sound already handed to the output when a fade to silence ends; halting
// before it has been heard would cut it off with a click.
constexpr int kOutputDrainMs = 150;

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

// The audio sink the devices use: VORN_AUDIO_SINK or the automatic one.
GstElement* makeAudioSink(QString* error) {
    const QByteArray description = qgetenv("VORN_AUDIO_SINK").trimmed();
    if (!description.isEmpty()) {
        GError* err = nullptr;
        GstElement* sink = gst_parse_bin_from_description(description.constData(), TRUE, &err);
        if (!sink || err) {
            *error = GstMediaDevice::tr("声音输出设置 VORN_AUDIO_SINK=\"%1\" 无效：%2")
                         .arg(QString::fromLocal8Bit(description),
                              err ? QString::fromUtf8(err->message) : QString());
            if (err)
                g_error_free(err);
            if (sink)
                gst_object_unref(sink);
            return nullptr;
        }
        return sink;
    }
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!sink)
        *error = GstMediaDevice::tr("找不到 GStreamer 的 autoaudiosink（请安装 "
                                    "gstreamer1.0-plugins-good）。");
    return sink;
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

// --- set-up ------------------------------------------------------------------

void GstMediaDevice::initGStreamer() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
    });
}

GstMediaDevice::GstMediaDevice(QObject* parent) : MediaDevice(parent) {
    initGStreamer();
    m_rampTimer.setInterval(kRampStepMs);
    m_rampTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_rampTimer, &QTimer::timeout, this, &GstMediaDevice::rampStep);
}

GstMediaDevice::~GstMediaDevice() {
    destroyPipeline();
}

bool GstMediaDevice::ensurePipeline() {
    if (m_playbin)
        return true;
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        m_error = tr("找不到 GStreamer 的 playbin（请安装 gstreamer1.0-plugins-base）。");
        return false;
    }
    GstElement* sink = makeAudioSink(&m_error);
    if (!sink) {
        gst_object_unref(playbin);
        return false;
    }
    g_object_set(playbin, "audio-sink", sink, "flags", kPlayFlagAudio | kPlayFlagSoftVolume,
                 nullptr);
    m_playbin = GST_ELEMENT(gst_object_ref_sink(playbin));
    m_bus = gst_element_get_bus(m_playbin);

    // The bus's descriptor is readable while messages wait on the bus.
    GPollFD fd;
    gst_bus_get_pollfd(m_bus, &fd);
    m_busNotifier = new QSocketNotifier(fd.fd, QSocketNotifier::Read, this);
    connect(m_busNotifier, &QSocketNotifier::activated, this, &GstMediaDevice::readBus);
    return true;
}

void GstMediaDevice::destroyPipeline() {
    m_rampTimer.stop();
    delete m_busNotifier.data();
    if (m_playbin) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_object_unref(m_bus);
        gst_object_unref(m_playbin);
        m_bus = nullptr;
        m_playbin = nullptr;
    }
}

// --- bus ---------------------------------------------------------------------

int GstMediaDevice::waitFor(int messageTypes, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (m_bus) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return 0;
        GstMessage* message = gst_bus_timed_pop(m_bus, GstClockTime(left) * GST_MSECOND);
        if (!message)
            return 0;
        const int type = GST_MESSAGE_TYPE(message);
        // Only the pipeline's own ASYNC_DONE means that it settled.
        const bool fromPipeline = GST_MESSAGE_SRC(message) == GST_OBJECT(m_playbin);
        handleMessage(message);
        gst_message_unref(message);
        if ((type & messageTypes) && (type != GST_MESSAGE_ASYNC_DONE || fromPipeline))
            return type;
    }
    return 0;
}

void GstMediaDevice::readBus() {
    while (m_bus) {
        GstMessage* message = gst_bus_pop(m_bus);
        if (!message)
            break;
        handleMessage(message);
        gst_message_unref(message);
    }
}

void GstMediaDevice::handleMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (m_mode == Mode::Playing) {
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            songEnded();
        }
        break;
    case GST_MESSAGE_ERROR: {
        GError* err = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &err, &debug);
        m_playError = err ? QString::fromUtf8(err->message) : tr("未知错误");
        if (err)
            g_error_free(err);
        g_free(debug);
        if (m_mode == Mode::Playing || m_mode == Mode::Paused) {
            // A damaged file: the song ends here, the rest of the day goes on.
            gst_element_set_state(m_playbin, GST_STATE_READY);
            m_needsRestart = true;
            m_error = tr("播放“%1”时出错：%2").arg(m_file, m_playError);
            qWarning("vorn: %s", qUtf8Printable(m_error));
            songEnded();
        }
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
    case GST_MESSAGE_ASYNC_DONE:
        if (m_mode != Mode::NotOpen)
            updateLength();
        break;
    default:
        break;
    }
}

void GstMediaDevice::songEnded() {
    m_atEnd = true;
    m_mode = Mode::Stopped;
    m_rampTimer.stop();
    applyVolume(m_targetVolume / 1000.0);
    if (m_notify && !m_finishedPending) {
        m_finishedPending = true;
        QMetaObject::invokeMethod(this, &GstMediaDevice::deliverFinished, Qt::QueuedConnection);
    }
}

void GstMediaDevice::deliverFinished() {
    if (!m_finishedPending)
        return; // the file was closed, stopped or replayed in the meantime
    m_finishedPending = false;
    if (m_notify)
        emit finished();
}

void GstMediaDevice::updateLength() {
    if (m_framesLength > 0) {
        m_length = m_framesLength;
        return;
    }
    gint64 duration = 0;
    if (m_playbin && gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &duration) &&
        duration > 0)
        m_length = duration / GST_MSECOND;
}

void GstMediaDevice::checkOutput() {
    GstElement* sink = nullptr;
    g_object_get(m_playbin, "audio-sink", &sink, nullptr);
    if (!sink)
        return;
    const QString problem = autoSinkFellBack(sink) ? noOutputText() : QString();
    gst_object_unref(sink);
    if (problem == m_outputProblem)
        return;
    m_outputProblem = problem;
    QMetaObject::invokeMethod(
        this, [this, problem] { emit outputProblem(problem); }, Qt::QueuedConnection);
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

// --- operations --------------------------------------------------------------

void GstMediaDevice::resetPlaybackState() {
    m_atEnd = false;
    m_needsRestart = false;
    m_finishedPending = false;
    m_lastPosition = 0;
}

bool GstMediaDevice::open(const QString& fileName) {
    close();
    m_error.clear();
    const QFileInfo info(fileName);
    if (!info.isFile()) {
        m_error = tr("文件不存在：%1").arg(fileName);
        return false;
    }
    if (!info.isReadable()) {
        m_error = tr("文件无法读取：%1").arg(fileName);
        return false;
    }
    if (!ensurePipeline())
        return false;

    gchar* uri =
        gst_filename_to_uri(QFile::encodeName(info.absoluteFilePath()).constData(), nullptr);
    g_object_set(m_playbin, "uri", uri, nullptr);
    g_free(uri);
    gst_bus_set_flushing(m_bus, TRUE); // nothing of an earlier file is read
    gst_bus_set_flushing(m_bus, FALSE);
    applyVolume(m_targetVolume / 1000.0);
    m_playError.clear();

    auto fail = [this, &fileName](const QString& why) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_bus_set_flushing(m_bus, TRUE);
        gst_bus_set_flushing(m_bus, FALSE);
        m_error = tr("无法打开“%1”：%2").arg(fileName, why);
        return false;
    };

    const GstStateChangeReturn ret = gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        waitFor(GST_MESSAGE_ERROR, 200);
        return fail(m_playError.isEmpty() ? tr("无法开始播放") : m_playError);
    }
    if (ret == GST_STATE_CHANGE_ASYNC) {
        const int type = waitFor(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR, kOpenTimeoutMs);
        if (type == GST_MESSAGE_ERROR)
            return fail(m_playError);
        if (type == 0)
            return fail(m_playError.isEmpty() ? tr("打开超时") : m_playError);
    }
    gint audioStreams = 0;
    g_object_get(m_playbin, "n-audio", &audioStreams, nullptr);
    if (audioStreams < 1)
        return fail(tr("文件中没有可播放的声音"));

    m_file = fileName;
    m_mode = Mode::Stopped;
    m_prerolledVolume = m_appliedVolume;
    m_framesLength = mp3LengthFromFrames(info.absoluteFilePath());
    updateLength();
    checkOutput();
    return true;
}

bool GstMediaDevice::play(bool notify) {
    if (m_mode == Mode::NotOpen) {
        m_error = tr("没有打开的文件");
        return false;
    }
    m_notify = notify;
    m_finishedPending = false;
    if (m_needsRestart) {
        // The stream stopped on an error: start it again from the beginning.
        gst_element_set_state(m_playbin, GST_STATE_READY);
        gst_bus_set_flushing(m_bus, TRUE);
        gst_bus_set_flushing(m_bus, FALSE);
        m_needsRestart = false;
        m_atEnd = false;
        m_lastPosition = 0;
    } else if (m_atEnd) {
        m_atEnd = false;
        m_lastPosition = 0;
        prerollAt(0);
    } else {
        prerollAgainIfVolumeChanged();
    }
    if (gst_element_set_state(m_playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        m_error = tr("无法播放“%1”").arg(m_file);
        m_mode = Mode::Stopped;
        return false;
    }
    m_mode = Mode::Playing;
    return true;
}

void GstMediaDevice::finishRampBeforeHalt() {
    // A fade is still running (the fade-out stops the song in the same tick
    // as it sets the volume to 0): let it reach its level first.
    if (!m_rampTimer.isActive() || m_mode != Mode::Playing)
        return;
    m_rampTimer.stop();
    const double target = m_targetVolume / 1000.0;
    const bool downward = target < m_rampFrom;
    for (qint64 t = m_rampClock.elapsed(); t < kRampMs; t = m_rampClock.elapsed()) {
        applyVolume(m_rampFrom + (target - m_rampFrom) * (double(t) / kRampMs));
        QThread::msleep(kRampStepMs);
    }
    applyVolume(target);
    if (downward && m_targetVolume == 0)
        QThread::msleep(kOutputDrainMs);
}

void GstMediaDevice::pause() {
    if (m_mode != Mode::Playing)
        return;
    finishRampBeforeHalt();
    gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    m_mode = Mode::Paused;
    m_prerolledVolume = m_appliedVolume;
    m_rampTimer.stop();
    applyVolume(m_targetVolume / 1000.0);
}

void GstMediaDevice::resume() {
    if (m_mode != Mode::Paused)
        return;
    prerollAgainIfVolumeChanged();
    if (gst_element_set_state(m_playbin, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        m_mode = Mode::Playing;
}

void GstMediaDevice::stop() {
    if (m_mode == Mode::NotOpen)
        return;
    finishRampBeforeHalt();
    m_finishedPending = false;
    m_rampTimer.stop();
    applyVolume(m_targetVolume / 1000.0);
    m_mode = Mode::Stopped;
    m_atEnd = false;
    m_lastPosition = 0;
    if (m_needsRestart)
        return; // already at rest; the next play starts from the beginning
    gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    prerollAt(0);
}

void GstMediaDevice::close() {
    finishRampBeforeHalt();
    m_rampTimer.stop();
    if (m_playbin) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_bus_set_flushing(m_bus, TRUE);
        gst_bus_set_flushing(m_bus, FALSE);
    }
    m_mode = Mode::NotOpen;
    m_file.clear();
    m_length = 0;
    m_framesLength = -1;
    resetPlaybackState();
    applyVolume(m_targetVolume / 1000.0);
}

void GstMediaDevice::seek(qint64 ms) {
    if (m_mode == Mode::NotOpen)
        return;
    ms = qMax<qint64>(0, ms);
    if (m_length > 0)
        ms = qMin(ms, m_length);
    m_finishedPending = false;
    if (m_needsRestart) {
        gst_element_set_state(m_playbin, GST_STATE_READY);
        gst_element_set_state(m_playbin, GST_STATE_PAUSED);
        if (waitFor(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR, kOpenTimeoutMs) !=
            GST_MESSAGE_ASYNC_DONE)
            return;
        m_needsRestart = false;
        if (m_mode == Mode::Playing)
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
    }
    m_atEnd = false;
    m_lastPosition = ms;
    prerollAt(ms);
}

void GstMediaDevice::prerollAt(qint64 ms) {
    gst_element_seek_simple(m_playbin, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            ms * GST_MSECOND);
    waitFor(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR, kSeekTimeoutMs);
    m_prerolledVolume = m_appliedVolume;
}

void GstMediaDevice::prerollAgainIfVolumeChanged() {
    // The sink holds the first piece of sound since the file was prerolled,
    // at the volume of that moment. After a volume change (the fade-in sets 0
    // between opening and playing) it is prerolled again at the same place,
    // so that piece does not sound at the old level.
    if (m_prerolledVolume == m_appliedVolume)
        return;
    gint64 pos = 0;
    if (!gst_element_query_position(m_playbin, GST_FORMAT_TIME, &pos) || pos < 0)
        pos = m_lastPosition * GST_MSECOND;
    prerollAt(pos / GST_MSECOND);
}

qint64 GstMediaDevice::position() const {
    if (m_mode == Mode::NotOpen)
        return 0;
    if (m_atEnd)
        return m_length;
    gint64 pos = 0;
    if (!m_needsRestart && gst_element_query_position(m_playbin, GST_FORMAT_TIME, &pos) && pos >= 0)
        m_lastPosition = pos / GST_MSECOND;
    return m_length > 0 ? qMin(m_lastPosition, m_length) : m_lastPosition;
}

// --- volume ------------------------------------------------------------------

void GstMediaDevice::applyVolume(double linear) {
    m_appliedVolume = linear;
    if (m_playbin)
        g_object_set(m_playbin, "volume", linear, nullptr);
}

void GstMediaDevice::setVolume(int level) {
    m_targetVolume = qBound(0, level, 1000);
    const double target = m_targetVolume / 1000.0;
    if (m_mode != Mode::Playing) {
        // Nothing is sounding: the new level can be set at once.
        m_rampTimer.stop();
        applyVolume(target);
        return;
    }
    m_rampFrom = m_appliedVolume;
    m_rampClock.start();
    m_rampTimer.start();
    rampStep();
}

void GstMediaDevice::rampStep() {
    const double target = m_targetVolume / 1000.0;
    const double t = double(m_rampClock.elapsed()) / kRampMs;
    if (t >= 1.0 || m_mode != Mode::Playing) {
        m_rampTimer.stop();
        applyVolume(target);
        return;
    }
    applyVolume(m_rampFrom + (target - m_rampFrom) * t);
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
