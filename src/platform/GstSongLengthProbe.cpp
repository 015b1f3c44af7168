#include "platform/GstSongLengthProbe.h"

#include "platform/GstMediaDevice.h"

#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <gst/pbutils/pbutils.h>

// What the worker and the probe share: the probe may go away while a file is
// still being read; the worker then drops its answer.
struct GstSongLengthProbe::Shared {
    QMutex mutex;
    GstSongLengthProbe* receiver = nullptr;
};

namespace {
// One worker for all probes: lengths come one after the other, and the
// machine's other core stays free for playing and for the schedule.
QThreadPool& workers() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(10000);
        return p;
    }();
    return *pool;
}

constexpr GstClockTime kDiscoverTimeout = 5 * GST_SECOND;
} // namespace

GstSongLengthProbe::GstSongLengthProbe(QObject* parent)
    : SongLengthProbe(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->receiver = this;
}

GstSongLengthProbe::~GstSongLengthProbe() {
    QMutexLocker lock(&m_shared->mutex);
    m_shared->receiver = nullptr;
}

void GstSongLengthProbe::request(const QString& path) {
    std::shared_ptr<Shared> shared = m_shared;
    workers().start([shared, path] {
        {
            QMutexLocker lock(&shared->mutex);
            if (!shared->receiver)
                return; // the window has closed: nobody wants this any more
        }
        const qint64 ms = measure(path);
        QMutexLocker lock(&shared->mutex);
        if (GstSongLengthProbe* receiver = shared->receiver)
            QMetaObject::invokeMethod(
                receiver, [receiver, path, ms] { emit receiver->measured(path, ms); },
                Qt::QueuedConnection);
    });
}

qint64 GstSongLengthProbe::measure(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return info.exists() ? unreadable : missing;
    if (info.suffix().compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0) {
        const qint64 frames = GstMediaDevice::mp3LengthFromFrames(info.absoluteFilePath());
        if (frames > 0)
            return frames;
    }
    GstMediaDevice::initGStreamer();
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(kDiscoverTimeout, &error);
    if (!discoverer) {
        g_clear_error(&error);
        return unreadable;
    }
    const QByteArray uri = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded();
    GstDiscovererInfo* found = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    qint64 ms = unreadable;
    if (found && gst_discoverer_info_get_result(found) == GST_DISCOVERER_OK) {
        const GstClockTime duration = gst_discoverer_info_get_duration(found);
        GList* audio = gst_discoverer_info_get_audio_streams(found);
        if (audio && GST_CLOCK_TIME_IS_VALID(duration) && duration > 0)
            ms = qint64(duration / GST_MSECOND);
        gst_discoverer_stream_info_list_free(audio);
    }
    if (found)
        gst_discoverer_info_unref(found);
    g_clear_error(&error);
    g_object_unref(discoverer);
    return ms;
}
