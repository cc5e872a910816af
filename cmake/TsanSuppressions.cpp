// Linked into every program of a ThreadSanitizer build. Qt is not built with the sanitizer, so
// the work of its own threads (the image-scaling pool, wait conditions, the web fetcher's HTTP
// thread) looks like races; our code is still checked in full.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n"
           "race:libQt6DBus.so\n"
           "race:libQt6Network.so\n"
           "mutex:libQt6Core.so\n";
}
