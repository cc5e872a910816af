#pragma once
// Decodes a FLAC, Ogg Vorbis, Opus, AAC/M4A or WAV file to interleaved stereo floats at the
// file's own rate through a GStreamer pipeline ending in an app sink. One owner thread (its
// StreamDecoder's decoder thread, or the opener); GStreamer decodes on threads of its own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class GstPcmSource {
public:
    // Null when no decoder takes the file or `cancelled` turns true while it opens.
    static std::unique_ptr<GstPcmSource> Open(const std::string& path,
                                              const std::function<bool()>& cancelled);
    ~GstPcmSource();
    GstPcmSource(const GstPcmSource&) = delete;
    GstPcmSource& operator=(const GstPcmSource&) = delete;

    int Rate() const { return rate_; }
    int64_t LengthSamples() const { return lengthSamples_; }
    // Copies up to `bytes` of stereo float frames into out; 0 at the end or on an error.
    size_t Read(unsigned char* out, size_t bytes);
    // Moves to a sample of the file's rate; what was decoded before is dropped.
    bool Seek(int64_t sample);

    // Whether the content starts like one of the formats this source decodes.
    static bool Handles(const std::string& path);

private:
    struct Pipeline;
    explicit GstPcmSource(std::unique_ptr<Pipeline> pipeline);
    bool Refill();

    std::unique_ptr<Pipeline> pipeline_;
    int rate_ = 0;
    int64_t lengthSamples_ = 0;
    std::vector<unsigned char> pending_;
    size_t pendingAt_ = 0;
    bool ended_ = false;
};
