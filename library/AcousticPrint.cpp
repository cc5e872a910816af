#include "library/AcousticPrint.h"

#include <chromaprint.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/fsound/GstPcmSource.h"
#include "platform/fsound/Mpg123Handle.h"

namespace {

constexpr int kPrintedSeconds = 120;

struct ChromaprintDeleter {
    void operator()(ChromaprintContext* context) const noexcept { chromaprint_free(context); }
};
using ChromaprintHandle = std::unique_ptr<ChromaprintContext, ChromaprintDeleter>;

// Feeds up to kPrintedSeconds of interleaved 16-bit sound into one Chromaprint context.
class Printer {
public:
    Printer(int rate, int channels)
        : context_(chromaprint_new(CHROMAPRINT_ALGORITHM_DEFAULT)),
          channels_(channels),
          remaining_(int64_t{rate} * channels * kPrintedSeconds) {
        ok_ = context_ && rate > 0 && channels > 0 &&
              chromaprint_start(context_.get(), rate, channels) == 1;
    }
    bool Full() const { return !ok_ || remaining_ <= 0; }
    void Feed(const int16_t* samples, size_t count) {
        if (Full()) return;
        count -= count % static_cast<size_t>(channels_);
        const auto take = static_cast<size_t>(std::min<int64_t>(remaining_, int64_t(count)));
        if (take == 0) return;
        ok_ = chromaprint_feed(context_.get(), samples, static_cast<int>(take)) == 1;
        remaining_ -= static_cast<int64_t>(take);
        fed_ += take;
    }
    std::optional<std::string> Finish() {
        if (!ok_ || fed_ == 0 || chromaprint_finish(context_.get()) != 1) return std::nullopt;
        char* text = nullptr;
        if (chromaprint_get_fingerprint(context_.get(), &text) != 1 || !text) return std::nullopt;
        std::string print(text);
        chromaprint_dealloc(text);
        if (print.empty()) return std::nullopt;
        return print;
    }

private:
    ChromaprintHandle context_;
    int channels_;
    int64_t remaining_;
    size_t fed_ = 0;
    bool ok_ = false;
};

bool Cancelled(const std::function<bool()>& cancelled) { return cancelled && cancelled(); }

std::optional<AcousticPrint> FromMpeg(const std::string& path,
                                      const std::function<bool()>& cancelled) {
    Mpg123Handle handle = MakeMpg123Handle(MPG123_ENC_SIGNED_16);
    if (!handle) return std::nullopt;
    mpg123_handle* mh = handle.get();
    if (mpg123_open(mh, path.c_str()) != MPG123_OK) return std::nullopt;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0)
        return std::nullopt;
    // No full scan: the Xing header or the file size estimates the length well enough.
    const off_t length = mpg123_length(mh);
    Printer printer(static_cast<int>(rate), channels);
    std::vector<unsigned char> buffer(std::max<size_t>(mpg123_outblock(mh), 16384));
    while (!printer.Full()) {
        if (Cancelled(cancelled)) return std::nullopt;
        size_t done = 0;
        const int rc = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        printer.Feed(reinterpret_cast<const int16_t*>(buffer.data()), done / sizeof(int16_t));
        if (rc == MPG123_NEW_FORMAT) return std::nullopt;  // a stream that changes midway
        if (rc != MPG123_OK) break;
    }
    auto print = printer.Finish();
    if (!print) return std::nullopt;
    return AcousticPrint{length > 0 ? static_cast<int>(length / rate) : 0, std::move(*print)};
}

std::optional<AcousticPrint> FromOther(const std::string& path,
                                       const std::function<bool()>& cancelled) {
    auto source = GstPcmSource::Open(path, cancelled ? cancelled : [] { return false; });
    if (!source || source->Rate() <= 0) return std::nullopt;
    Printer printer(source->Rate(), 2);
    std::vector<float> frames(8192);
    std::vector<int16_t> samples(frames.size());
    while (!printer.Full()) {
        if (Cancelled(cancelled)) return std::nullopt;
        const size_t bytes = source->Read(reinterpret_cast<unsigned char*>(frames.data()),
                                          frames.size() * sizeof(float));
        if (bytes == 0) break;
        const size_t count = bytes / sizeof(float);
        for (size_t i = 0; i < count; ++i) {
            const float clipped = std::clamp(frames[i], -1.0f, 1.0f);
            samples[i] = static_cast<int16_t>(std::lrint(clipped * 32767.0f));
        }
        printer.Feed(samples.data(), count);
    }
    auto print = printer.Finish();
    if (!print) return std::nullopt;
    return AcousticPrint{static_cast<int>(source->LengthSamples() / source->Rate()),
                         std::move(*print)};
}

}  // namespace

std::optional<AcousticPrint> ComputeAcousticPrint(const std::string& path,
                                                  const std::function<bool()>& cancelled) {
    if (GstPcmSource::Handles(path)) return FromOther(path, cancelled);
    return FromMpeg(path, cancelled);
}
