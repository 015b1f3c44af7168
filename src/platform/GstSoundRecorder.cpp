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
#include <cstdio>
#include <gst/gst.h>
#include <sys/stat.h>

namespace {
constexpr int kStopTimeoutMs = 3000;
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
    QMutex lock;
    GstSoundRecorder* recorder = nullptr; // null once the recorder is gone
};

namespace {
const char* const kStartFailed = "vorn-input-failed";

// Every state change of the recorders runs here, one after the other in the
// order given, never on the caller's thread. Kept for the life of the process.
void runInOrder(GstElement* pipeline, std::function<void(GstElement*)> fn) {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    gst_object_ref(pipeline);
    pool->start([pipeline, fn = std::move(fn)] {
        fn(pipeline);
        gst_object_unref(pipeline);
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
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    if (!pipeline || !convert || !resample || !filter || !sink) {
        m_error = tr("找不到 GStreamer 的基本元件（请安装 gstreamer1.0-plugins-base）。");
        for (GstElement* e : {source, pipeline, convert, resample, filter, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return false;
    }
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                        G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT,
                                        sampleRate, "channels", G_TYPE_INT, channels, nullptr);
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    // The caller wrote the header; the samples go after it.
    g_object_set(sink, "location", QFile::encodeName(wavFile).constData(), "append", TRUE, "sync",
                 FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, convert, resample, filter, sink, nullptr);
    m_pipeline = GST_ELEMENT(gst_object_ref_sink(pipeline));
    m_bus = gst_element_get_bus(m_pipeline);
    if (!gst_element_link_many(source, convert, resample, filter, sink, nullptr)) {
        m_error = tr("录音输入无法连接");
        releasePipeline(false, false);
        return false;
    }
    GPollFD fd;
    gst_bus_get_pollfd(m_bus, &fd);
    m_busNotifier = new QSocketNotifier(fd.fd, QSocketNotifier::Read, this);
    connect(m_busNotifier, &QSocketNotifier::activated, this, &GstSoundRecorder::readBus);
    m_recording = true;
    m_started = false;
    m_lastPosition = 0;
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
    // The end travels from the input through to the file; EOS on the bus
    // says that everything has been written.
    runInOrder(m_pipeline,
               [](GstElement* pipeline) { gst_element_send_event(pipeline, gst_event_new_eos()); });
    m_stopTimeout.start();
}

qint64 GstSoundRecorder::position() const {
    if (!m_pipeline || !m_recording || !m_started)
        return m_lastPosition;
    gint64 pos = 0;
    if (gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &pos) && pos >= 0)
        m_lastPosition = qMax(m_lastPosition, qint64(pos / GST_MSECOND));
    return m_lastPosition;
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
    case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(m_pipeline)) {
            GstState now = GST_STATE_NULL;
            gst_message_parse_state_changed(message, nullptr, &now, nullptr);
            if (now == GST_STATE_PLAYING)
                m_started = true;
        }
        break;
    case GST_MESSAGE_EOS:
        finish(true);
        break;
    case GST_MESSAGE_APPLICATION:
        if (gst_message_has_name(message, kStartFailed) && m_error.isEmpty()) {
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
    position();
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
