// Linked into every program of a ThreadSanitizer build. Qt, GLib, GStreamer, D-Bus and the web
// engine (Chromium) are not built with the sanitizer, so the work of their own threads (the
// image-scaling pool, wait conditions, the web fetcher's HTTP thread, GStreamer's streaming
// threads, Chromium's IO threads) looks like races; our code is still checked in full.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n"
           "race:libQt6DBus.so\n"
           "race:libQt6Network.so\n"
           "race:libQt6WebEngineCore.so\n"
           "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libgstreamer-1.0.so\n"
           "race:libgstbase-1.0.so\n"
           "race:libgstaudio-1.0.so\n"
           "race:libgst\n"
           "race:libdbus-1.so\n"
           "mutex:libQt6Core.so\n"
           "mutex:libQt6WebEngineCore.so\n"
           "mutex:libglib-2.0.so\n"
           "mutex:libgstreamer-1.0.so\n"
           // GStreamer's own locks taken in its own order inside a state change or a seek
           "deadlock:libgstreamer-1.0.so\n"
           "deadlock:libgst\n"
           // libdbus's own locks, which it takes in its own order
           "deadlock:libdbus-1.so\n"
           // Chromium's threads that the web engine leaves to the process's end
           "thread:libQt6WebEngineCore.so\n";
}

// GStreamer hands decoded buffers over through GLib's futex locks, which the sanitizer cannot
// see; with the longer history the writer's stack is restored, so that the suppressions above
// match it instead of the report landing on our reader.
extern "C" const char* __tsan_default_options() { return "history_size=7"; }
