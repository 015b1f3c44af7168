#include "platform/GstSoundRecorder.h"

#include "platform/GstMediaDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThreadPool>
#include <atomic>
#include <cstdio>
#include <gst/gst.h>
#include <sys/stat.h>

namespace {
constexpr int kStopTimeoutMs = 3000;
// A take ends this long after the stop press, measured on the input's own
// time stamps, so that the last word is whole even where the stamps are a
// little early.
constexpr qint64 kEndMarginNs = 100 * GST_MSECOND;
// Exit codes of the conversion command after lame itself has ended well.
constexpr int kNoSound = 120;  // lame left an empty file
constexpr int kNotMoved = 121; // the part could not become the target

QString lameProgram = QStringLiteral("lame");

GstElement* makeSource(QString* error) {
    const QByteArray description = qgetenv("VORN_AUDIO_SOURCE").trimmed();
    if (!description.isEmpty()) {
        GError* err = nullptr;
        GstElement* source = gst_parse_bin_from_description(description.constData(), TRUE, &err);
        if (!source || err) {
            *error = GstSoundRecorder::tr("录音输入设置 VORN_AUDIO_SOURCE=\"%1\" 无效：%2")
                         .arg(QString::fromLocal8Bit(description),
                              err ? QString::fromUtf8(err->message) : QString());
            if (err)
                g_error_free(err);
            if (source)
                gst_object_unref(source);
            return nullptr;
        }
        return source;
    }
    GstElement* source = gst_element_factory_make("autoaudiosrc", nullptr);
    if (!source)
        *error = GstSoundRecorder::tr("找不到 GStreamer 的 autoaudiosrc（请安装 "
                                      "gstreamer1.0-plugins-good）。");
    return source;
}
} // namespace

// --- recording ---------------------------------------------------------------

struct GstSoundRecorder::Shared {
    ~Shared() {
        if (source)
            gst_object_unref(source);
    }
    QMutex lock;
    GstSoundRecorder* recorder = nullptr; // null once the recorder is gone
    GstElement* source = nullptr;         // told to end once the take is complete
    std::atomic<qint64> bytes{0};         // written to the file
    std::atomic<bool> arrived{false};     // the first sound has reached the file
    // The running time up to which the take must reach, or -1 while it goes on.
    std::atomic<qint64> endAt{-1};
    std::atomic<bool> ending{false}; // the input has been told to end
};

namespace {
const char* const kStartFailed = "vorn-input-failed";
const char* const kSoundArrived = "vorn-sound-arrived";

void runInOrder(GstElement* element, std::function<void(GstElement*)> fn);

// Sees every buffer on its way into the file, on the streaming thread.
GstPadProbeReturn bufferReachesFile(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    GstSoundRecorder::Shared& shared =
        **static_cast<std::shared_ptr<GstSoundRecorder::Shared>*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer)
        return GST_PAD_PROBE_OK;
    shared.bytes += qint64(gst_buffer_get_size(buffer));
    if (!shared.arrived.exchange(true)) {
        if (GstElement* sink = gst_pad_get_parent_element(pad)) {
            gst_element_post_message(
                sink, gst_message_new_application(GST_OBJECT(sink),
                                                  gst_structure_new_empty(kSoundArrived)));
            gst_object_unref(sink);
        }
    }
    const qint64 endAt = shared.endAt.load();
    if (endAt < 0 || shared.ending.load())
        return GST_PAD_PROBE_OK;
    // The running time at which this buffer's last sample was taken.
    qint64 reached = -1;
    if (GST_BUFFER_PTS_IS_VALID(buffer)) {
        GstClockTime end = GST_BUFFER_PTS(buffer);
        if (GST_BUFFER_DURATION_IS_VALID(buffer))
            end += GST_BUFFER_DURATION(buffer);
        if (GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0)) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, end);
            if (running != GST_CLOCK_TIME_NONE)
                reached = qint64(running);
            gst_event_unref(event);
        }
    }
    // Everything up to the stop press is in (or the input gives no times to
    // tell): the input ends, and its end travels through to the file.
    if (reached < 0 || reached >= endAt) {
        shared.ending = true;
        QMutexLocker locked(&shared.lock);
        if (shared.source)
            runInOrder(shared.source, [](GstElement* source) {
                gst_element_send_event(source, gst_event_new_eos());
            });
    }
    return GST_PAD_PROBE_OK;
}

// Every state change of the recorders runs here, one after the other in the
// order given, never on the caller's thread. Kept for the life of the process.
void runInOrder(GstElement* element, std::function<void(GstElement*)> fn) {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    gst_object_ref(element);
    pool->start([element, fn = std::move(fn)] {
        fn(element);
        gst_object_unref(element);
    });
}
} // namespace

GstSoundRecorder::GstSoundRecorder(QObject* parent)
    : SoundRecorder(parent), m_shared(std::make_shared<Shared>()) {
    GstMediaDevice::initGStreamer();
    m_shared->recorder = this;
    m_stopTimeout.setSingleShot(true);
    m_stopTimeout.setInterval(kStopTimeoutMs);
    // The input never confirmed the end: what reached the file is kept.
    connect(&m_stopTimeout, &QTimer::timeout, this, [this] { finish(true); });
}

GstSoundRecorder::~GstSoundRecorder() {
    {
        QMutexLocker locked(&m_shared->lock);
        m_shared->recorder = nullptr;
    }
    releasePipeline(false, false);
}

void GstSoundRecorder::releasePipeline(bool report, bool ok) {
    m_stopTimeout.stop();
    delete m_busNotifier.data();
    if (!m_pipeline)
        return;
    gst_object_unref(m_bus);
    m_bus = nullptr;
    // The pipeline goes down (the file is closed), then the recorder hears of
    // it on its own thread.
    runInOrder(m_pipeline, [shared = m_shared, report, ok](GstElement* pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        if (!report)
            return;
        QMutexLocker locked(&shared->lock);
        if (GstSoundRecorder* recorder = shared->recorder)
            QMetaObject::invokeMethod(
                recorder, [recorder, ok] { emit recorder->stopped(ok); }, Qt::QueuedConnection);
    });
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

bool GstSoundRecorder::start(const QString& wavFile) {
    if (m_pipeline || m_recording) {
        m_error = tr("这次录音已经开始过了");
        return false;
    }
    m_error.clear();
    GstElement* source = makeSource(&m_error);
    if (!source)
        return false;
    GstElement* pipeline = gst_pipeline_new("recorder");
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    if (!pipeline || !convert || !resample || !filter || !queue || !sink) {
        m_error = tr("找不到 GStreamer 的基本元件（请安装 gstreamer1.0-plugins-base）。");
        for (GstElement* e : {source, pipeline, convert, resample, filter, queue, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return false;
    }
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                        G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT,
                                        sampleRate, "channels", G_TYPE_INT, channels, nullptr);
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    // A disk that is slow for a moment holds up the writing, never the input:
    // nothing is dropped for up to half a minute.
    g_object_set(queue, "max-size-time", guint64(30 * GST_SECOND), "max-size-bytes", 0u,
                 "max-size-buffers", 0u, nullptr);
    // The caller wrote the header; the samples go after it.
    g_object_set(sink, "location", QFile::encodeName(wavFile).constData(), "append", TRUE, "sync",
                 FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, convert, resample, filter, queue, sink, nullptr);
    m_pipeline = GST_ELEMENT(gst_object_ref_sink(pipeline));
    m_bus = gst_element_get_bus(m_pipeline);
    if (!gst_element_link_many(source, convert, resample, filter, queue, sink, nullptr)) {
        m_error = tr("录音输入无法连接");
        releasePipeline(false, false);
        return false;
    }
    {
        QMutexLocker locked(&m_shared->lock);
        m_shared->source = GST_ELEMENT(gst_object_ref(source));
    }
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_BUFFER, bufferReachesFile,
                      new std::shared_ptr<Shared>(m_shared),
                      [](gpointer data) { delete static_cast<std::shared_ptr<Shared>*>(data); });
    gst_object_unref(sinkPad);
    GPollFD fd;
    gst_bus_get_pollfd(m_bus, &fd);
    m_busNotifier = new QSocketNotifier(fd.fd, QSocketNotifier::Read, this);
    connect(m_busNotifier, &QSocketNotifier::activated, this, &GstSoundRecorder::readBus);
    m_recording = true;
    m_started = false;
    // The input opens; a refusal that the elements did not explain on the bus
    // is posted there too.
    runInOrder(m_pipeline, [](GstElement* pipeline) {
        if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            gst_element_post_message(
                pipeline, gst_message_new_application(GST_OBJECT(pipeline),
                                                      gst_structure_new_empty(kStartFailed)));
    });
    return true;
}

void GstSoundRecorder::stop() {
    if (!m_recording || m_stopping)
        return;
    m_stopping = true;
    if (!m_started) {
        // Nothing has come in yet: there is nothing to wait for.
        finish(true);
        return;
    }
    // What was said up to now is still on its way: in the sound server and
    // in the input's buffers. The take goes on until the input's time stamps
    // have passed this moment; then the input is told to end, and EOS on the
    // bus says that everything has been written. The moment is taken now and
    // carried over to the pipeline's clock on the worker.
    const gint64 pressed = g_get_monotonic_time();
    runInOrder(m_pipeline, [shared = m_shared, pressed](GstElement* pipeline) {
        qint64 endAt = 0;
        if (GstClock* clock = gst_element_get_clock(pipeline)) {
            const GstClockTime now = gst_clock_get_time(clock);
            const GstClockTime base = gst_element_get_base_time(pipeline);
            const qint64 since = (g_get_monotonic_time() - pressed) * GST_USECOND;
            endAt = qMax<qint64>(0, qint64(now) - qint64(base) - since) + kEndMarginNs;
            gst_object_unref(clock);
        }
        shared->endAt = endAt;
    });
    m_stopTimeout.start();
}

qint64 GstSoundRecorder::position() const {
    const qint64 frameBytes = channels * bitsPerSample / 8;
    return m_shared->bytes.load() / frameBytes * 1000 / sampleRate;
}

void GstSoundRecorder::readBus() {
    while (m_bus) {
        GstMessage* message = gst_bus_pop(m_bus);
        if (!message)
            break;
        handleMessage(message);
        gst_message_unref(message);
    }
}

void GstSoundRecorder::handleMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        finish(true);
        break;
    case GST_MESSAGE_APPLICATION:
        if (gst_message_has_name(message, kSoundArrived) && m_recording && !m_started) {
            m_started = true;
            emit soundArrived();
        } else if (gst_message_has_name(message, kStartFailed) && m_error.isEmpty()) {
            m_error = tr("录音输入无法打开");
            finish(false);
        }
        break;
    case GST_MESSAGE_ERROR: {
        GError* err = nullptr;
        gst_message_parse_error(message, &err, nullptr);
        m_error = err ? QString::fromUtf8(err->message) : tr("未知错误");
        if (err)
            g_error_free(err);
        qWarning("vorn: recording: %s", qUtf8Printable(m_error));
        finish(false);
        break;
    }
    default:
        break;
    }
}

void GstSoundRecorder::finish(bool ok) {
    if (!m_recording)
        return;
    m_recording = false;
    m_stopping = false;
    // stopped() follows once the file is closed.
    releasePipeline(true, ok);
}

// --- conversion --------------------------------------------------------------

class LameMp3Encoder::Private {
public:
    QProcess* process = nullptr;
    QString partFile;
    QString target;
    bool running = false;
};

LameMp3Encoder::LameMp3Encoder(QObject* parent) : Mp3Encoder(parent), d(new Private) {}

LameMp3Encoder::~LameMp3Encoder() {
    if (d->process && d->process->state() != QProcess::NotRunning) {
        // Not waited for, not stopped: the conversion finishes on its own
        // (its last steps are part of the command) and its process object
        // goes when it has ended. A failed one leaves no part file behind.
        QProcess* process = d->process;
        process->disconnect(this);
        process->setParent(nullptr);
        const QString part = d->partFile;
        d->partFile.clear();
        connect(process, &QProcess::finished, process, [process, part] {
            QFile::remove(part);
            process->deleteLater();
        });
    }
    if (!d->partFile.isEmpty())
        QFile::remove(d->partFile);
    delete d;
}

void LameMp3Encoder::setProgram(const QString& program) {
    lameProgram = program.isEmpty() ? QStringLiteral("lame") : program;
}

bool LameMp3Encoder::isRunning() const {
    return d->running;
}

void LameMp3Encoder::start(const QString& wavFile, const QString& mp3File) {
    if (d->running || d->process) {
        QMetaObject::invokeMethod(
            this, [this] { emit finished(false, tr("这次转换已经开始过了")); },
            Qt::QueuedConnection);
        return;
    }
    d->running = true;
    d->target = QFileInfo(mp3File).absoluteFilePath();
    const QString program = QStandardPaths::findExecutable(lameProgram);
    if (program.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { done(false, tr("找不到 MP3 编码程序 lame（请安装 lame）。")); },
            Qt::QueuedConnection);
        return;
    }
    // A private name beside the target: same file system for the rename.
    {
        QTemporaryFile part(QFileInfo(d->target).absolutePath() +
                            QStringLiteral("/.vorn-XXXXXX.mp3"));
        part.setAutoRemove(false);
        if (!part.open()) {
            const QString why = tr("无法在“%1”中写文件：%2")
                                    .arg(QFileInfo(d->target).absolutePath(), part.errorString());
            QMetaObject::invokeMethod(
                this, [this, why] { done(false, why); }, Qt::QueuedConnection);
            return;
        }
        d->partFile = part.fileName();
    }
    // The finished file is an ordinary one (the permissions the user's umask
    // gives new files), not private like the part.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const QString mode = QString::number(0666 & ~mask, 8);
    // lame writes the part; only when it ends well and leaves sound is the
    // part renamed over the target, in one step. These last steps run in the
    // same command, so a conversion still running when the program ends
    // completes all the same. Every path is absolute: none is taken for an
    // option.
    static const QString script =
        QStringLiteral("\"$0\" --quiet --cbr -b 128 \"$1\" \"$2\" || exit\n"
                       "test -s \"$2\" || exit %1\n"
                       "chmod \"$4\" \"$2\" && mv -f \"$2\" \"$3\" || exit %2\n")
            .arg(kNoSound)
            .arg(kNotMoved);
    d->process = new QProcess(this);
    d->process->setProgram(QStringLiteral("/bin/sh"));
    d->process->setArguments({QStringLiteral("-c"), script, program,
                              QFileInfo(wavFile).absoluteFilePath(), d->partFile, d->target, mode});
    d->process->setStandardOutputFile(QProcess::nullDevice());
    connect(d->process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(false, tr("MP3 编码程序无法启动：%1").arg(d->process->errorString()));
    });
    connect(d->process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit) {
            done(false, tr("MP3 编码程序异常结束"));
            return;
        }
        if (code == kNoSound) {
            done(false, tr("MP3 编码程序没有写出声音"));
            return;
        }
        if (code == kNotMoved) {
            done(false, tr("无法写入“%1”").arg(d->target));
            return;
        }
        if (code != 0) {
            const QString said =
                QString::fromLocal8Bit(d->process->readAllStandardError()).trimmed();
            done(false, tr("MP3 编码程序出错（%1）%2").arg(code).arg(said));
            return;
        }
        d->partFile.clear(); // it is the target now
        if (QFileInfo(d->target).size() <= 0) {
            done(false, tr("MP3 编码程序没有写出声音"));
            return;
        }
        done(true, QString());
    });
    d->process->start();
}

void LameMp3Encoder::done(bool ok, const QString& error) {
    if (!d->running)
        return;
    d->running = false;
    if (!d->partFile.isEmpty()) {
        QFile::remove(d->partFile);
        d->partFile.clear();
    }
    if (!ok)
        qWarning("vorn: MP3 conversion: %s", qUtf8Printable(error));
    emit finished(ok, error);
}
