#include "platform/GstAudioOutputs.h"

#include "platform/GstMediaDevice.h"

#include <QMutex>
#include <QThreadPool>
#include <functional>
#include <gst/gst.h>

struct GstAudioOutputs::Receiver {
    QMutex lock;
    GstAudioOutputs* outputs = nullptr;

    void post(std::function<void(GstAudioOutputs*)> fn) {
        QMutexLocker locked(&lock);
        if (GstAudioOutputs* o = outputs)
            QMetaObject::invokeMethod(
                o, [o, fn = std::move(fn)] { fn(o); }, Qt::QueuedConnection);
    }
};

namespace {
constexpr int kToneMs = 800;

// A pool of their own: a sound system that is slow to answer never holds up
// the songs tried in the background on the shared pool.
QThreadPool& pool() {
    static QThreadPool* p = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        return made;
    }();
    return *p;
}
constexpr int kToneWaitMs = 5000;

// A property value as gst-launch syntax reads it back.
QString quoted(const QString& value) {
    QString out = value;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// How to reach the device again later: its element and the element's
// device property.
QString sinkDescriptionOf(GstDevice* device) {
    GstElement* element = gst_device_create_element(device, nullptr);
    if (!element)
        return {};
    gst_object_ref_sink(element);
    QString out;
    if (GstElementFactory* factory = gst_element_get_factory(element)) {
        out = QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
        GParamSpec* deviceProperty =
            g_object_class_find_property(G_OBJECT_GET_CLASS(element), "device");
        if (deviceProperty && deviceProperty->value_type == G_TYPE_STRING) {
            gchar* name = nullptr;
            g_object_get(element, "device", &name, nullptr);
            if (name && *name)
                out += QStringLiteral(" device=") + quoted(QString::fromUtf8(name));
            g_free(name);
        }
    }
    gst_object_unref(element);
    return out;
}
} // namespace

GstAudioOutputs::GstAudioOutputs(QObject* parent)
    : AudioOutputs(parent), m_receiver(std::make_shared<Receiver>()) {
    m_receiver->outputs = this;
}

GstAudioOutputs::~GstAudioOutputs() {
    QMutexLocker locked(&m_receiver->lock);
    m_receiver->outputs = nullptr;
}

QList<AudioOutput> GstAudioOutputs::findOutputs() {
    GstMediaDevice::initGStreamer();
    QList<AudioOutput> found;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
    // The sound cards too, which the sound server otherwise hides.
    gst_device_monitor_set_show_all_devices(monitor, TRUE);
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* d = devices; d; d = d->next) {
        auto* device = GST_DEVICE(d->data);
        AudioOutput output;
        gchar* name = gst_device_get_display_name(device);
        output.name = QString::fromUtf8(name ? name : "");
        g_free(name);
        output.sink = sinkDescriptionOf(device);
        if (output.sink.startsWith(QLatin1String("alsasink")))
            output.name += QStringLiteral(" (ALSA)");
        if (!output.sink.isEmpty() && !found.contains(output))
            found << output;
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
    return found;
}

QString GstAudioOutputs::playToneNow(const QString& sink) {
    GstMediaDevice::initGStreamer();
    QString error;
    GstElement* output = GstMediaDevice::makeSink(sink, &error);
    if (!output)
        return error;
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* source = gst_element_factory_make("audiotestsrc", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    if (!pipeline || !source || !convert || !resample) {
        for (GstElement* e : {pipeline, source, convert, resample, output})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return tr("找不到 GStreamer 的基本组件（请安装 gstreamer1.0-plugins-base）。");
    }
    // A soft 880 Hz beep, 0.8 s (80 buffers of 10 ms).
    g_object_set(source, "freq", 880.0, "volume", 0.3, "samplesperbuffer", 441, "num-buffers",
                 kToneMs / 10, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, convert, resample, output, nullptr);
    QString problem;
    if (!gst_element_link_many(source, convert, resample, output, nullptr)) {
        problem = tr("声音输出无法连接");
    } else if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        problem = tr("声音输出设备无法打开");
    } else {
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* message =
            gst_bus_timed_pop_filtered(bus, GstClockTime(kToneWaitMs) * GST_MSECOND,
                                       GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message) {
            problem = tr("声音输出没有响应");
        } else {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                GError* err = nullptr;
                gst_message_parse_error(message, &err, nullptr);
                problem = err ? QString::fromUtf8(err->message) : tr("未知错误");
                if (err)
                    g_error_free(err);
            }
            gst_message_unref(message);
        }
        gst_object_unref(bus);
    }
    if (problem.isEmpty() && GstMediaDevice::sinkFellBack(output))
        problem = tr("没有可用的声音输出设备");
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return problem;
}

void GstAudioOutputs::list() {
    std::shared_ptr<Receiver> receiver = m_receiver;
    pool().start([receiver] {
        const QList<AudioOutput> outputs = findOutputs();
        receiver->post([outputs](GstAudioOutputs* o) { emit o->listed(outputs); });
    });
}

void GstAudioOutputs::use(const QString& sink) {
    GstMediaDevice::setOutput(sink);
}

QString GstAudioOutputs::current() const {
    return GstMediaDevice::output();
}

QString GstAudioOutputs::forced() const {
    return QString::fromLocal8Bit(qgetenv("VORN_AUDIO_SINK").trimmed());
}

void GstAudioOutputs::playTestTone(const QString& sink) {
    std::shared_ptr<Receiver> receiver = m_receiver;
    pool().start([receiver, sink] {
        const QString problem = playToneNow(sink);
        receiver->post([problem](GstAudioOutputs* o) { emit o->testToneDone(problem); });
    });
}
