#include "platform/fsound/GstPcmSource.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {

constexpr GstClockTime kPrerollSlice = 50 * GST_MSECOND;
constexpr GstClockTime kPrerollLimit = 10 * GST_SECOND;
// Decoding runs far ahead of playing; a sample that takes this long never comes.
constexpr GstClockTime kPullLimit = 2 * GST_SECOND;
constexpr int kFrameBytes = 2 * sizeof(float);

struct GstUnref {
    void operator()(gpointer object) const noexcept { gst_object_unref(object); }
};
struct SampleUnref {
    void operator()(GstSample* sample) const noexcept { gst_sample_unref(sample); }
};
using SamplePtr = std::unique_ptr<GstSample, SampleUnref>;

// The samples of an ADTS stream (1024 a frame), from its frame headers; 0 for anything else.
int64_t AdtsSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[10] = {};
    in.read(reinterpret_cast<char*>(header), 10);
    std::streamoff at = 0;
    if (in.gcount() == 10 && std::memcmp(header, "ID3", 3) == 0) {
        for (int i = 6; i < 10; ++i) at = at << 7 | (header[i] & 0x7F);
        at += 10;
    }
    int64_t frames = 0;
    for (;; ++frames) {
        in.clear();
        in.seekg(at);
        in.read(reinterpret_cast<char*>(header), 7);
        if (in.gcount() < 7 || header[0] != 0xFF || (header[1] & 0xF6) != 0xF0) break;
        const std::streamoff length = (header[3] & 0x03) << 11 | header[4] << 3 | header[5] >> 5;
        if (length < 7) break;
        at += length;
    }
    return frames * 1024;
}

bool Initialised() {
    static const bool ok = gst_init_check(nullptr, nullptr, nullptr);
    return ok;
}

}  // namespace

struct GstPcmSource::Pipeline {
    ~Pipeline() {
        if (pipeline) gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    }
    std::unique_ptr<GstElement, GstUnref> pipeline;
    GstAppSink* sink = nullptr;  // owned by the pipeline
};

bool GstPcmSource::Handles(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[12] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() < 12) return false;
    if (std::memcmp(head, "OggS", 4) == 0 || std::memcmp(head + 4, "ftyp", 4) == 0 ||
        (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)) {
        return true;
    }
    uint64_t start = 0;
    if (std::memcmp(head, "ID3", 3) == 0) {
        for (int i = 6; i < 10; ++i) start = start << 7 | (head[i] & 0x7F);
        start += 10;
    }
    unsigned char content[4] = {};
    in.clear();
    in.seekg(static_cast<std::streamoff>(start));
    in.read(reinterpret_cast<char*>(content), sizeof content);
    if (in.gcount() < 4) return false;
    // FLAC, or AAC in ADTS frames (an MPEG sync with layer bits 00).
    return std::memcmp(content, "fLaC", 4) == 0 || (content[0] == 0xFF && (content[1] & 0xF6) == 0xF0);
}

std::unique_ptr<GstPcmSource> GstPcmSource::Open(const std::string& path,
                                                 const std::function<bool()>& cancelled) {
    if (!Initialised()) return nullptr;
    auto pipeline = std::make_unique<Pipeline>();
    pipeline->pipeline.reset(gst_pipeline_new(nullptr));
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline->pipeline || !source || !decode || !convert || !sink) {
        for (GstElement* e : {source, decode, convert, sink}) {
            if (e) gst_object_unref(e);
        }
        return nullptr;
    }
    GstElement* bin = pipeline->pipeline.get();
    gst_bin_add_many(GST_BIN(bin), source, decode, convert, sink, nullptr);
    g_object_set(source, "location", path.c_str(), nullptr);
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "F32LE", "layout",
                                        G_TYPE_STRING, "interleaved", "channels", G_TYPE_INT, 2,
                                        nullptr);
    pipeline->sink = GST_APP_SINK(sink);
    gst_app_sink_set_caps(pipeline->sink, caps);
    gst_caps_unref(caps);
    // Not timed to a clock: the decoder pulls as fast as its ring empties.
    g_object_set(sink, "sync", FALSE, "max-buffers", 16u, nullptr);
    if (!gst_element_link(source, decode) || !gst_element_link(convert, sink)) return nullptr;
    g_signal_connect(decode, "pad-added",
                     G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer target) {
                         GstPad* input = gst_element_get_static_pad(GST_ELEMENT(target), "sink");
                         if (!gst_pad_is_linked(input)) gst_pad_link(pad, input);
                         gst_object_unref(input);
                     }),
                     convert);

    if (gst_element_set_state(bin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return nullptr;
    std::unique_ptr<GstBus, GstUnref> bus(gst_element_get_bus(bin));
    for (GstClockTime waited = 0;; waited += kPrerollSlice) {
        if (waited >= kPrerollLimit || (cancelled && cancelled())) return nullptr;
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus.get(), kPrerollSlice,
            static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
        if (!message) continue;
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        gst_message_unref(message);
        if (type == GST_MESSAGE_ASYNC_DONE) break;
        return nullptr;
    }
    std::unique_ptr<GstPcmSource> source_(new GstPcmSource(std::move(pipeline)));
    GstAppSink* appSink = source_->pipeline_->sink;
    const SamplePtr preroll(gst_app_sink_try_pull_preroll(appSink, kPullLimit));
    if (!preroll) return nullptr;
    const GstStructure* format = gst_caps_get_structure(gst_sample_get_caps(preroll.get()), 0);
    int rate = 0;
    if (!format || !gst_structure_get_int(format, "rate", &rate) || rate <= 0) return nullptr;
    gint64 duration = 0;
    int64_t length = 0;
    if (gst_element_query_duration(bin, GST_FORMAT_TIME, &duration) && duration > 0) {
        length = static_cast<int64_t>(gst_util_uint64_scale(static_cast<guint64>(duration),
                                                            static_cast<guint64>(rate), GST_SECOND));
    } else {
        // A raw AAC stream names no length; its frames are counted instead.
        length = AdtsSamples(path);
    }
    if (length <= 0) return nullptr;
    source_->rate_ = rate;
    source_->lengthSamples_ = length;
    return source_;
}

GstPcmSource::GstPcmSource(std::unique_ptr<Pipeline> pipeline) : pipeline_(std::move(pipeline)) {}

GstPcmSource::~GstPcmSource() = default;

bool GstPcmSource::Refill() {
    pending_.clear();
    pendingAt_ = 0;
    if (ended_) return false;
    const SamplePtr sample(gst_app_sink_try_pull_sample(pipeline_->sink, kPullLimit));
    if (!sample) {
        ended_ = true;  // the end of the stream, or a decoder error
        return false;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return true;
    pending_.assign(map.data, map.data + map.size - map.size % kFrameBytes);
    gst_buffer_unmap(buffer, &map);
    return true;
}

size_t GstPcmSource::Read(unsigned char* out, size_t bytes) {
    bytes -= bytes % kFrameBytes;
    while (pendingAt_ == pending_.size()) {
        if (!Refill()) return 0;
    }
    const size_t count = std::min(bytes, pending_.size() - pendingAt_);
    std::memcpy(out, pending_.data() + pendingAt_, count);
    pendingAt_ += count;
    return count;
}

bool GstPcmSource::Seek(int64_t sample) {
    const gint64 time = static_cast<gint64>(
        gst_util_uint64_scale(static_cast<guint64>(std::max<int64_t>(sample, 0)), GST_SECOND,
                              static_cast<guint64>(rate_)));
    const bool ok = gst_element_seek_simple(
        pipeline_->pipeline.get(), GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), time);
    pending_.clear();
    pendingAt_ = 0;
    ended_ = false;
    return ok;
}
