#include "platform/mediaplayer/MediaPlayerControl.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "platform/mediaplayer/GstOwners.h"

namespace {

constexpr int kPlayFlagAudio = 0x2;
constexpr int kPlayFlagSoftVolume = 0x10;

bool HasMp3Decoder() {
    GstFactoryList decoders(gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO,
        GST_RANK_MARGINAL));
    GstCapsRef mp3(gst_caps_from_string("audio/mpeg, mpegversion=(int)1, layer=(int)3"));
    GstFactoryList fitting(
        gst_element_factory_list_filter(decoders.get(), mp3.get(), GST_PAD_SINK, FALSE));
    return fitting != nullptr;
}

// The configured audio sink, or null.
GstRef<GstElement> MakeAudioSink() {
    GstElement* sink = nullptr;
    const char* description = std::getenv("SONVERA_AUDIOSINK");
    if (description != nullptr && *description != '\0')
        sink = gst_parse_bin_from_description(description, TRUE, nullptr);
    else
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (sink != nullptr) gst_object_ref_sink(sink);
    return GstRef<GstElement>(sink);
}

bool MadeBy(GstElement* element, const char* factoryName) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory != nullptr &&
           g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), factoryName) == 0;
}

// autoaudiosink settles for a fakesink when no device opens.
bool HoldsFakeSink(GstElement* sink) {
    if (!GST_IS_BIN(sink)) return false;
    bool fake = false;
    GstIteratorRef children(gst_bin_iterate_recurse(GST_BIN(sink)));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(children.get(), &item) == GST_ITERATOR_OK) {
        fake = fake || MadeBy(GST_ELEMENT(g_value_get_object(&item)), "fakesink");
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return fake;
}

// GStreamer's start-up (with a new plugin registry, a scan of every plugin: ~100 ms) and the
// search for an MP3 decoder, once per process, on a thread of its own.
std::shared_future<bool> GStreamerReady() {
    static const std::shared_future<bool> ready =
        std::async(std::launch::async, [] {
            return gst_init_check(nullptr, nullptr, nullptr) && HasMp3Decoder();
        }).share();
    return ready;
}

}  // namespace

struct MediaPlayerControl::Impl {
    struct Command {
        enum Kind { Open, Play, Pause, Seek, Volume } kind;
        std::string path;
        double value = 0;
    };

    // Owned by the control's thread (and by Create before the thread starts).
    GstRef<GstElement> playbin;
    GstRef<GstBus> bus;
    unsigned opensRun = 0;    // the Open whose file the pipeline holds
    bool hasFile = false;     // a file was opened and has not failed
    bool prerolled = false;   // the pipeline reached PAUSED since the last open
    bool seeking = false;     // a flushing seek has not yet settled
    double pendingSeek = -1;  // a seek given before the file was ready

    mutable std::mutex lock;  // guards what follows
    std::condition_variable wake;
    std::deque<Command> commands;
    bool busMessage = false;
    bool stop = false;
    unsigned opens = 0;  // Opens given
    unsigned seeks = 0;  // seeks given and not yet run
    int playState = Stopped;
    double duration = 0;
    double position = 0;
    int volume = 0;
    bool opening = false;
    int error = 0;
    std::map<int, bool> options;

    void Queue(Command command) {
        {
            std::lock_guard guard(lock);
            if (command.kind == Command::Seek) ++seeks;
            commands.push_back(std::move(command));
        }
        wake.notify_one();
    }

    static GstBusSyncReply OnBusMessage(GstBus*, GstMessage*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        {
            std::lock_guard guard(self->lock);
            self->busMessage = true;
        }
        self->wake.notify_one();
        return GST_BUS_PASS;
    }

    // Caller holds the lock: bus news and queries of an older file are dropped.
    bool CurrentLocked() const { return opensRun == opens; }

    void Run() {
        for (;;) {
            std::deque<Command> todo;
            {
                std::unique_lock guard(lock);
                const auto ready = [&] { return stop || busMessage || !commands.empty(); };
                // while a file plays the position is read ten times a second
                if (prerolled)
                    wake.wait_for(guard, std::chrono::milliseconds(100), ready);
                else
                    wake.wait(guard, ready);
                if (stop) break;
                todo.swap(commands);
                busMessage = false;
            }
            for (Command& command : todo) RunCommand(command);
            while (GstMessageRef message{gst_bus_pop(bus.get())}) Handle(message.get());
            ReadPosition();
        }
        gst_element_set_state(playbin.get(), GST_STATE_NULL);
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    }

    void RunCommand(const Command& command) {
        switch (command.kind) {
            case Command::Open:
                RunOpen(command.path);
                break;
            case Command::Play:
                if (hasFile) gst_element_set_state(playbin.get(), GST_STATE_PLAYING);
                break;
            case Command::Pause:
                if (hasFile) gst_element_set_state(playbin.get(), GST_STATE_PAUSED);
                break;
            case Command::Seek:
                if (prerolled)
                    Seek(command.value);
                else
                    pendingSeek = command.value;
                {
                    std::lock_guard guard(lock);
                    --seeks;
                }
                break;
            case Command::Volume:
                g_object_set(playbin.get(), "volume", std::pow(10.0, command.value / 2000.0),
                             nullptr);
                break;
        }
    }

    void RunOpen(const std::string& path) {
        gst_element_set_state(playbin.get(), GST_STATE_NULL);
        while (GstMessageRef stale{gst_bus_pop(bus.get())}) {
        }
        {
            std::lock_guard guard(lock);
            ++opensRun;
        }
        prerolled = false;
        seeking = false;
        pendingSeek = -1;
        GCharRef uri(gst_filename_to_uri(path.c_str(), nullptr));
        hasFile = uri != nullptr;
        if (hasFile) {
            g_object_set(playbin.get(), "uri", uri.get(), nullptr);
            hasFile =
                gst_element_set_state(playbin.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
        }
        if (!hasFile) Fail(GST_RESOURCE_ERROR_OPEN_READ);
    }

    void Seek(double seconds) {
        seeking =
            gst_element_seek_simple(playbin.get(), GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    gint64(seconds * GST_SECOND));
    }

    // The file could not be opened or played on: it stops, and the error shows.
    void Fail(int code) {
        hasFile = false;
        prerolled = false;
        gst_element_set_state(playbin.get(), GST_STATE_NULL);
        std::lock_guard guard(lock);
        if (!CurrentLocked()) return;
        opening = false;
        error = code != 0 ? code : 1;
        if (playState == Playing || playState == Paused) playState = Stopped;
    }

    void Handle(GstMessage* message) {
        switch (GST_MESSAGE_TYPE(message)) {
            case GST_MESSAGE_STATE_CHANGED: {
                if (GST_MESSAGE_SRC(message) != GST_OBJECT(playbin.get())) break;
                GstState now = GST_STATE_NULL;
                GstState pending = GST_STATE_NULL;
                gst_message_parse_state_changed(message, nullptr, &now, &pending);
                if (pending != GST_STATE_VOID_PENDING) break;
                if (now != GST_STATE_PAUSED && now != GST_STATE_PLAYING) break;
                Prerolled();
                std::lock_guard guard(lock);
                if (!CurrentLocked()) break;
                playState = now == GST_STATE_PLAYING ? Playing : Paused;
                opening = false;
                break;
            }
            case GST_MESSAGE_ASYNC_DONE:
                seeking = false;
                Prerolled();
                break;
            case GST_MESSAGE_DURATION_CHANGED:
                ReadDuration();
                break;
            case GST_MESSAGE_EOS: {
                gst_element_set_state(playbin.get(), GST_STATE_READY);
                prerolled = false;
                std::lock_guard guard(lock);
                if (!CurrentLocked()) break;
                playState = Stopped;
                position = 0;
                break;
            }
            case GST_MESSAGE_ERROR: {
                GError* raw = nullptr;
                gst_message_parse_error(message, &raw, nullptr);
                GErrorRef error(raw);
                Fail(error ? error->code : 1);
                break;
            }
            default:
                break;
        }
    }

    void Prerolled() {
        if (!hasFile) return;
        prerolled = true;
        ReadDuration();
        if (pendingSeek >= 0) {
            Seek(pendingSeek);
            pendingSeek = -1;
        }
    }

    void ReadDuration() {
        gint64 ns = 0;
        if (!gst_element_query_duration(playbin.get(), GST_FORMAT_TIME, &ns) || ns < 0) return;
        std::lock_guard guard(lock);
        if (CurrentLocked()) duration = double(ns) / GST_SECOND;
    }

    void ReadPosition() {
        if (!prerolled || seeking) return;
        gint64 ns = 0;
        if (!gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &ns) || ns < 0) return;
        bool durationKnown = true;
        {
            std::lock_guard guard(lock);
            if (!CurrentLocked()) return;
            if (seeks == 0) position = double(ns) / GST_SECOND;
            durationKnown = duration > 0;
        }
        if (!durationKnown) ReadDuration();
    }
};

MediaPlayerControl::MediaPlayerControl(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

void MediaPlayerControl::Prepare() { GStreamerReady(); }

std::unique_ptr<MediaPlayerControl> MediaPlayerControl::Create() {
    if (!GStreamerReady().get()) return nullptr;
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) return nullptr;
    auto impl = std::make_shared<Impl>();
    impl->playbin.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    g_object_set(playbin, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
    // without a sink here CanPlaySound says so; playbin takes its own reference
    if (GstRef<GstElement> sink = MakeAudioSink())
        g_object_set(playbin, "audio-sink", sink.get(), nullptr);
    impl->bus.reset(gst_element_get_bus(playbin));
    gst_bus_set_sync_handler(impl->bus.get(), &Impl::OnBusMessage, impl.get(), nullptr);
    // The thread keeps the pipeline until it has taken it down, so that the control's owner
    // never waits for that.
    std::thread([impl] { impl->Run(); }).detach();
    return std::unique_ptr<MediaPlayerControl>(new MediaPlayerControl(std::move(impl)));
}

MediaPlayerControl::~MediaPlayerControl() {
    {
        std::lock_guard guard(impl_->lock);
        impl_->stop = true;
    }
    impl_->wake.notify_one();
}

void MediaPlayerControl::Open(const std::string& path) {
    {
        std::lock_guard guard(impl_->lock);
        ++impl_->opens;
        impl_->playState = Closed;
        impl_->opening = true;
        impl_->error = 0;
        impl_->duration = 0;
        impl_->position = 0;
    }
    impl_->Queue({Impl::Command::Open, path});
}

void MediaPlayerControl::Play() { impl_->Queue({Impl::Command::Play, {}}); }

void MediaPlayerControl::Pause() { impl_->Queue({Impl::Command::Pause, {}}); }

bool MediaPlayerControl::CanPlaySound() {
    GstRef<GstElement> probe = MakeAudioSink();
    if (!probe) return false;
    bool reaches = gst_element_set_state(probe.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    if (reaches && MadeBy(probe.get(), "autoaudiosink")) reaches = !HoldsFakeSink(probe.get());
    gst_element_set_state(probe.get(), GST_STATE_NULL);
    return reaches;
}

int MediaPlayerControl::PlayState() const {
    std::lock_guard guard(impl_->lock);
    return impl_->playState;
}

double MediaPlayerControl::Duration() const {
    std::lock_guard guard(impl_->lock);
    return impl_->duration;
}

double MediaPlayerControl::CurrentPosition() const {
    std::lock_guard guard(impl_->lock);
    return impl_->position;
}

void MediaPlayerControl::SetCurrentPosition(double seconds) {
    seconds = std::max(seconds, 0.0);
    {
        std::lock_guard guard(impl_->lock);
        impl_->position = seconds;
    }
    impl_->Queue({Impl::Command::Seek, {}, seconds});
}

int MediaPlayerControl::Volume() const {
    std::lock_guard guard(impl_->lock);
    return impl_->volume;
}

void MediaPlayerControl::SetVolume(int volume) {
    volume = std::clamp(volume, -10000, 0);
    {
        std::lock_guard guard(impl_->lock);
        impl_->volume = volume;
    }
    impl_->Queue({Impl::Command::Volume, {}, double(volume)});
}

bool MediaPlayerControl::IsOpening() const {
    std::lock_guard guard(impl_->lock);
    return impl_->opening;
}

int MediaPlayerControl::ErrorCode() const {
    std::lock_guard guard(impl_->lock);
    return impl_->error;
}

void MediaPlayerControl::SetDisplayOption(int id, bool value) {
    std::lock_guard guard(impl_->lock);
    impl_->options[id] = value;
}

bool MediaPlayerControl::DisplayOption(int id) const {
    std::lock_guard guard(impl_->lock);
    const auto found = impl_->options.find(id);
    return found != impl_->options.end() && found->second;
}
