// Faults on purpose, for the sanitizer build's own tests (tests/CMakeLists.txt):
// each must be reported, so that the leak suppressions and the sanitizer
// settings never quietly hide faults of ours.
//   sanitizer_probe leak-in-event-loop | leak-in-glib-callback | overflow | undefined
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <glib.h>

namespace {
// Written through a volatile pointer so that the compiler keeps each fault.
void* volatile g_lost = nullptr;

void loseMemory() {
    g_lost = new char[100];
    static_cast<char*>(g_lost)[0] = 1;
    g_lost = nullptr;
}

int leakInEventLoop(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, [] {
        loseMemory();
        QCoreApplication::quit();
    });
    return app.exec();
}

int leakInGlibCallback() {
    GMainContext* context = g_main_context_new();
    GSource* source = g_idle_source_new();
    g_source_set_callback(
        source,
        [](gpointer) -> gboolean {
            loseMemory();
            return G_SOURCE_REMOVE;
        },
        nullptr, nullptr);
    g_source_attach(source, context);
    g_source_unref(source);
    g_main_context_iteration(context, FALSE);
    g_main_context_unref(context);
    return 0;
}

int overflow() {
    char* bytes = new char[8];
    volatile size_t size = 9;
    std::memset(bytes, 1, size);
    std::printf("%d\n", bytes[0]);
    delete[] bytes;
    return 0;
}

int undefined(int argc) {
    volatile int large = argc > 100 ? 0 : 0x7fffffff;
    const int sum = large + argc;
    std::printf("%d\n", sum);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "";
    if (!std::strcmp(what, "leak-in-event-loop"))
        return leakInEventLoop(argc, argv);
    if (!std::strcmp(what, "leak-in-glib-callback"))
        return leakInGlibCallback();
    if (!std::strcmp(what, "overflow"))
        return overflow();
    if (!std::strcmp(what, "undefined"))
        return undefined(argc);
    std::fprintf(stderr, "usage: sanitizer_probe leak-in-event-loop|leak-in-glib-callback|"
                         "overflow|undefined\n");
    return 2;
}
