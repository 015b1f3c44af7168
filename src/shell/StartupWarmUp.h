#pragma once

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QStringList>
#include <condition_variable>
#include <mutex>
#include <thread>

class QWidget;

// A font as a window names it: a family or a generic name ("Serif"), and the
// language of the text it shows (a fontconfig language tag: "zh-cn", "en").
struct FontFor {
    QString family;
    QString language;
    bool operator==(const FontFor&) const = default;
};

// What the system's font configuration picks for a font. For Chinese text a
// generic name gives the system's Chinese font, as it does on a Chinese
// desktop, rather than a Latin font with the Chinese characters taken from
// another one (the interface is Chinese whatever the locale).
struct PickedFont {
    // In the name Qt lists it under; empty when the font picked cannot show
    // the language.
    QString family;
    // Whether its glyphs are hinted. A font's own configuration may say they
    // are not (the one WenQuanYi Micro Hei ships does), as other desktop
    // programs honour; Qt goes by the hint style alone and would hint them
    // all the same, so such a font is told.
    bool hinted = true;
    bool operator==(const PickedFont&) const = default;
};
PickedFont pickedFont(const FontFor& font);

// Start-up work that needs no window, done on threads of their own while the
// window's thread connects to the display and builds the desk, which then
// finds it done instead of waiting for it before its first paint:
// - fonts: the system's font configuration and the first window's fonts
//   matched at once; once the application object exists, Qt's list of fonts
//   and the names it lists the matched ones under;
// - images: the first window's icons, decoded, each ready as soon as it is;
// - buses: the connections to the session bus (the first change of a
//   widget's text connects the accessibility bridge to it) and the system
//   bus (the clock's trust is asked there);
// - the window's buffer: mapped in at once (windowShown).
class StartupWarmUp {
public:
    // `fonts`: those the first window names.
    explicit StartupWarmUp(QList<FontFor> fonts = {});
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

    // The application object exists (with its resources): the threads may
    // go on to Qt's parts. `images` in the order they are wanted.
    void applicationReady(const QStringList& images);
    // The icon in the image file `path`: decoded ahead when it was among the
    // images (waiting for the thread if it is not done yet), else read now.
    static QIcon icon(const QString& path);
    // Sets `font` to the family picked for `wanted` (pickedFont), drawn as
    // the configuration says; to the family as named when none was picked.
    // Picked ahead when it was among the fonts (waiting for the thread if it
    // is not done yet), else now. Qt would otherwise look a generic name up
    // itself, sorting every font there is; and a second family would have it
    // sort them again for the font's fallbacks.
    static void setPicked(QFont& font, const FontFor& wanted);
    // `window` has been shown; its first paint comes once the window system
    // has put it on the screen. The buffer it is painted into is made now,
    // and its memory mapped in by a thread of its own while the window's
    // thread waits for the screen: painted first, it would be faulted in a
    // page at a time (some 700 faults for the desk, each a costly trap on a
    // virtual machine). Nothing when the window has no buffer of its own.
    void windowShown(QWidget& window);
    // Waits for the threads; they use Qt, so this comes before the
    // application object goes. Also right when the application never came.
    void finish();

private:
    // Waits for applicationReady (true) or finish (false).
    bool waitForApplication();
    void readFonts();
    void readImages();
    void connectBuses();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_applicationReady = false;
    bool m_ending = false;
    QStringList m_imagePaths;
    QHash<QString, QImage> m_images; // each one as soon as it is decoded
    bool m_imagesDone = false;
    const QList<FontFor> m_fonts;
    QList<PickedFont> m_picked; // for each of m_fonts
    bool m_fontsDone = false;
    std::thread m_fontThread;
    std::thread m_imageThread;
    std::thread m_busThread;
    std::thread m_bufferThread;
};
