#include "shell/StartupWarmUp.h"

#include <QBackingStore>
#include <QDBusConnection>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

namespace {
StartupWarmUp* running = nullptr;

using Pattern = std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)>;

QImage readImage(const QString& path) {
    // The format its name gives: looking the file over for another would
    // load every image plugin there is.
    QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
} // namespace

namespace {
// What fontconfig alone picks for a font: the font's names, in the order the
// language prefers them, and whether it is hinted. Needs no Qt.
struct Match {
    QStringList names;
    bool hinted = true;
};

Match match(const FontFor& font) {
    const QByteArray language = font.language.toLatin1();
    Pattern pattern(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(font.family.toUtf8().constData()));
    FcPatternAddString(pattern.get(), FC_LANG,
                       reinterpret_cast<const FcChar8*>(language.constData()));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern found(FcFontMatch(nullptr, pattern.get(), &result), FcPatternDestroy);
    FcLangSet* languages = nullptr;
    if (!found || FcPatternGetLangSet(found.get(), FC_LANG, 0, &languages) != FcResultMatch ||
        FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>(language.constData())) ==
            FcLangDifferentLang)
        return {};
    Match picked;
    FcBool hinting = FcTrue;
    if (FcPatternGetBool(found.get(), FC_HINTING, 0, &hinting) == FcResultMatch)
        picked.hinted = hinting != FcFalse;
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(found.get(), FC_FAMILY, i, &name) == FcResultMatch; ++i)
        picked.names << QString::fromUtf8(reinterpret_cast<const char*>(name));
    return picked;
}

// A font has its name in several languages; Qt lists it under one of them.
PickedFont listed(const Match& match) {
    const QStringList known = QFontDatabase::families();
    for (const QString& name : match.names)
        if (known.contains(name))
            return {name, match.hinted};
    return {};
}
} // namespace

PickedFont pickedFont(const FontFor& font) {
    return listed(match(font));
}

StartupWarmUp::StartupWarmUp(QList<FontFor> fonts)
    : m_fonts(std::move(fonts)), m_fontThread([this] { readFonts(); }),
      m_imageThread([this] { readImages(); }), m_busThread([this] { connectBuses(); }) {
    running = this;
}

StartupWarmUp::~StartupWarmUp() {
    finish();
    if (running == this)
        running = nullptr;
}

void StartupWarmUp::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    for (std::thread* thread : {&m_fontThread, &m_imageThread, &m_busThread, &m_bufferThread})
        if (thread->joinable())
            thread->join();
}

void StartupWarmUp::applicationReady(const QStringList& images) {
    {
        std::lock_guard lock(m_mutex);
        m_imagePaths = images;
        m_applicationReady = true;
    }
    m_changed.notify_all();
}

bool StartupWarmUp::waitForApplication() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_applicationReady || m_ending; });
    return m_applicationReady;
}

QIcon StartupWarmUp::icon(const QString& path) {
    QImage image;
    if (StartupWarmUp* warmUp = running) {
        std::unique_lock lock(warmUp->m_mutex);
        if (warmUp->m_imagePaths.contains(path)) {
            warmUp->m_changed.wait(lock, [warmUp, &path] {
                return warmUp->m_images.contains(path) || warmUp->m_imagesDone || warmUp->m_ending;
            });
            image = warmUp->m_images.value(path);
        }
    }
    return image.isNull() ? QIcon(path) : QIcon(QPixmap::fromImage(image));
}

void StartupWarmUp::setPicked(QFont& font, const FontFor& wanted) {
    PickedFont picked;
    bool ahead = false;
    if (StartupWarmUp* warmUp = running) {
        std::unique_lock lock(warmUp->m_mutex);
        if (const qsizetype at = warmUp->m_fonts.indexOf(wanted); at >= 0) {
            warmUp->m_changed.wait(lock,
                                   [warmUp] { return warmUp->m_fontsDone || warmUp->m_ending; });
            ahead = warmUp->m_fontsDone;
            picked = warmUp->m_picked.value(at);
        }
    }
    if (!ahead)
        picked = pickedFont(wanted);
    if (picked.family.isEmpty()) {
        font.setFamilies({wanted.family});
        return;
    }
    font.setFamilies({picked.family});
    if (!picked.hinted)
        font.setHintingPreference(QFont::PreferNoHinting);
}

void StartupWarmUp::windowShown(QWidget& window) {
    QBackingStore* store = window.backingStore();
    if (!store || m_bufferThread.joinable())
        return;
    // Made in the window's size, it is the one the first paint uses.
    store->resize(window.size());
    const QPaintDevice* device = store->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return;
    const auto* image = static_cast<const QImage*>(device);
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr begin = quintptr(image->constBits()) & ~(page - 1);
    const quintptr end = quintptr(image->constBits()) + quintptr(image->sizeInBytes());
    if (begin == 0 || end <= begin)
        return;
    // Only the pages' mapping, never their content, so the paint may start
    // on them meanwhile. Kernels before 5.14 refuse it: they are faulted in
    // as they are painted, as before.
    m_bufferThread = std::thread([begin, end] {
#ifdef MADV_POPULATE_WRITE
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
    });
}

void StartupWarmUp::readFonts() {
    // Parsing the configuration and loading its caches is the larger part of
    // the first font lookup; fontconfig keeps one configuration for the
    // whole process, which Qt then finds loaded. The fonts are matched right
    // after, while the application object is still being made.
    FcInit();
    QList<Match> matches;
    for (const FontFor& font : std::as_const(m_fonts))
        matches << match(font);
    if (!waitForApplication())
        return;
    // Qt's list of the fonts there are, kept for the whole process, and the
    // names it lists the matched fonts under. Nothing more: Qt loads each
    // font once per thread, holding its font lock while it does, so fonts
    // loaded here would only hold up the window's thread.
    QList<PickedFont> picked;
    for (const Match& found : std::as_const(matches))
        picked << listed(found);
    {
        std::lock_guard lock(m_mutex);
        m_picked = std::move(picked);
        m_fontsDone = true;
    }
    m_changed.notify_all();
}

void StartupWarmUp::readImages() {
    if (!waitForApplication())
        return;
    QStringList paths;
    {
        std::lock_guard lock(m_mutex);
        paths = m_imagePaths;
    }
    for (const QString& path : std::as_const(paths)) {
        QImage image = readImage(path);
        {
            std::lock_guard lock(m_mutex);
            m_images.insert(path, std::move(image));
        }
        m_changed.notify_all();
    }
    {
        std::lock_guard lock(m_mutex);
        m_imagesDone = true;
    }
    m_changed.notify_all();
    // Qt's own icons (a toolbar's extension arrow) are read with their format
    // guessed, which loads every image plugin there is; loaded here, that is
    // not done while the window is being built.
    QImageReader::supportedImageFormats();
}

void StartupWarmUp::connectBuses() {
    if (!waitForApplication())
        return;
    // Only a session bus the desktop gave us: without one, asking for it
    // would start a bus of its own for the display.
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        QDBusConnection::sessionBus().isConnected();
    QDBusConnection::systemBus().isConnected();
}
