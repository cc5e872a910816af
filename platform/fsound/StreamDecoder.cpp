#include "platform/fsound/StreamDecoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {

constexpr size_t kRingFrames = 32768;  // about 0.7 s at 48 kHz
constexpr size_t kConvertFrames = 4096;
constexpr int kFrameBytes = 2 * sizeof(float);
// The callback drains the ring without telling anyone; the decoder looks again this often.
constexpr auto kRefillInterval = std::chrono::milliseconds(10);

}  // namespace

struct StreamDecoder::FileReader {
    explicit FileReader(int descriptor) : fd(descriptor) {}
    ~FileReader() {
        if (fd >= 0) close(fd);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    static ssize_t Read(void* self, void* buffer, size_t bytes) {
        auto* r = static_cast<FileReader*>(self);
        if (r->cancelled && r->cancelled()) return -1;
        return read(r->fd, buffer, bytes);
    }
    static off_t Seek(void* self, off_t offset, int whence) {
        return lseek(static_cast<FileReader*>(self)->fd, offset, whence);
    }

    int fd;
    std::function<bool()> cancelled;  // only during the scan
};

Mpg123Handle MakeMpg123Handle(int encoding) {
    static const bool initialised = mpg123_init() == MPG123_OK;
    if (!initialised) return nullptr;
    Mpg123Handle handle(mpg123_new(nullptr, nullptr));
    mpg123_handle* mh = handle.get();
    if (!mh) return nullptr;
    // Gapless: the encoder's delay and padding are cut, so the length is the true duration.
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, encoding);
    return handle;
}

std::unique_ptr<StreamDecoder> StreamDecoder::Open(const std::string& path, int outputRate,
                                                   std::function<bool()> cancelled) {
    // Devices and pipes could feed the scan forever.
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return nullptr;
    if (GstPcmSource::Handles(path)) return OpenOther(path, outputRate, cancelled);
    Mpg123Handle handle = MakeMpg123Handle(MPG123_ENC_FLOAT_32);
    if (!handle) return nullptr;
    mpg123_handle* mh = handle.get();

    auto reader = std::make_unique<FileReader>(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (reader->fd < 0) return nullptr;
    reader->cancelled = std::move(cancelled);
    if (mpg123_replace_reader_handle(mh, &FileReader::Read, &FileReader::Seek, nullptr) !=
            MPG123_OK ||
        mpg123_open_handle(mh, reader.get()) != MPG123_OK)
        return nullptr;
    // Walks every frame: exact length and a full seek index. Long on a big or slow file, so
    // it can be called off.
    // A refused read looks like the end of the file to it.
    if (mpg123_scan(mh) != MPG123_OK || (reader->cancelled && reader->cancelled())) return nullptr;
    reader->cancelled = nullptr;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    if (rate <= 0 || (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32)
        return nullptr;
    const off_t length = mpg123_length(mh);
    if (length <= 0) return nullptr;

    std::unique_ptr<StreamDecoder> decoder(new StreamDecoder(std::move(reader), std::move(handle),
                                                             nullptr, static_cast<int>(rate),
                                                             channels, length, outputRate));
    if (!decoder->converter_) return nullptr;
    decoder->thread_ = std::thread([d = decoder.get()] { d->Run(); });
    return decoder;
}

std::unique_ptr<StreamDecoder> StreamDecoder::OpenOther(const std::string& path, int outputRate,
                                                        const std::function<bool()>& cancelled) {
    std::unique_ptr<GstPcmSource> source = GstPcmSource::Open(path, cancelled);
    if (!source || source->LengthSamples() <= 0) return nullptr;
    const int rate = source->Rate();
    const int64_t length = source->LengthSamples();
    std::unique_ptr<StreamDecoder> decoder(
        new StreamDecoder(nullptr, nullptr, std::move(source), rate, 2, length, outputRate));
    if (!decoder->converter_) return nullptr;
    decoder->thread_ = std::thread([d = decoder.get()] { d->Run(); });
    return decoder;
}

StreamDecoder::StreamDecoder(std::unique_ptr<FileReader> reader, Mpg123Handle handle,
                             std::unique_ptr<GstPcmSource> other, int inputRate,
                             int inputChannels, int64_t lengthSamples, int outputRate)
    : reader_(std::move(reader)),
      handle_(std::move(handle)),
      other_(std::move(other)),
      inputRate_(inputRate),
      inputChannels_(inputChannels),
      outputRate_(outputRate),
      lengthSamples_(lengthSamples),
      firstRate_(inputRate),
      lengthMs_(static_cast<int>((lengthSamples * 1000 + inputRate / 2) / inputRate)),
      decodeBuffer_(std::max<size_t>(handle_ ? mpg123_outblock(handle_.get()) : 0, 16384)),
      convertBuffer_(2 * kConvertFrames),
      ring_(kRingFrames) {
    MakeConverterLocked();
}

StreamDecoder::~StreamDecoder() {
    {
        std::lock_guard lock(decodeLock_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

bool StreamDecoder::MakeConverterLocked() {
    converter_.reset(SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(inputChannels_),
                                        inputRate_, AUDIO_F32SYS, 2, outputRate_));
    converterFlushed_ = false;
    return converter_ != nullptr;
}

int StreamDecoder::PositionMs() const {
    return static_cast<int>(playedFrames_.load() * 1000 / outputRate_);
}

bool StreamDecoder::Seek(int ms) {
    ms = std::clamp(ms, 0, lengthMs_);
    {
        std::lock_guard decodeLock(decodeLock_);
        const off_t sample = static_cast<off_t>(int64_t{ms} * firstRate_ / 1000);
        if (other_) {
            if (!other_->Seek(std::min<int64_t>(sample, lengthSamples_))) return false;
        } else if (mpg123_seek(handle_.get(), std::min<off_t>(sample, lengthSamples_), SEEK_SET) <
                   0) {
            return false;
        }
        if (converter_) SDL_AudioStreamClear(converter_.get());
        converterFlushed_ = false;
        inputEnded_ = false;
        std::lock_guard consumerLock(consumerLock_);
        ring_.Discard();
        decodedAll_.store(false);
        playedFrames_.store(int64_t{ms} * outputRate_ / 1000);
        refillNow_ = true;
    }
    wake_.notify_one();
    return true;
}

StreamDecoder::ReadResult StreamDecoder::Read(float* samples, size_t frames) {
    std::unique_lock lock(consumerLock_, std::try_to_lock);
    if (!lock.owns_lock()) return {};
    // Read the end flag first: once it is set, every frame is already in the ring.
    const bool decodedAll = decodedAll_.load(std::memory_order_acquire);
    ReadResult result;
    result.frames = ring_.Read(samples, frames);
    playedFrames_.fetch_add(static_cast<int64_t>(result.frames), std::memory_order_relaxed);
    result.finished = decodedAll && ring_.Available() == 0;
    return result;
}

void StreamDecoder::Run() {
    std::unique_lock lock(decodeLock_);
    while (!stop_) {
        FillLocked();
        wake_.wait_for(lock, kRefillInterval, [this] { return stop_ || refillNow_; });
        refillNow_ = false;
    }
}

void StreamDecoder::FillLocked() {
    mpg123_handle* mh = handle_.get();
    while (!stop_ && !decodedAll_.load(std::memory_order_relaxed)) {
        const size_t space = ring_.Space();
        if (space == 0) return;
        if (!converter_) {
            decodedAll_.store(true, std::memory_order_release);
            return;
        }
        const int available = SDL_AudioStreamAvailable(converter_.get());
        if (available >= kFrameBytes) {
            const size_t frames =
                std::min({space, kConvertFrames, size_t(available / kFrameBytes)});
            const int got = SDL_AudioStreamGet(converter_.get(), convertBuffer_.data(),
                                               static_cast<int>(frames * kFrameBytes));
            if (got > 0) {
                ring_.Write(convertBuffer_.data(), static_cast<size_t>(got) / kFrameBytes);
                continue;
            }
            inputEnded_ = true;  // the converter failed: end the stream here
            converterFlushed_ = true;
            SDL_AudioStreamClear(converter_.get());
            continue;
        }
        if (inputEnded_) {
            if (!converterFlushed_) {
                SDL_AudioStreamFlush(converter_.get());
                converterFlushed_ = true;
                continue;
            }
            decodedAll_.store(true, std::memory_order_release);
            return;
        }
        size_t bytes = 0;
        int rc = MPG123_OK;
        if (other_) {
            bytes = other_->Read(decodeBuffer_.data(), decodeBuffer_.size());
            if (bytes == 0) rc = MPG123_DONE;
        } else {
            rc = mpg123_read(mh, decodeBuffer_.data(), decodeBuffer_.size(), &bytes);
        }
        if (bytes > 0)
            SDL_AudioStreamPut(converter_.get(), decodeBuffer_.data(), static_cast<int>(bytes));
        if (rc == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            if (rate != inputRate_ || channels != inputChannels_) {
                // Keep what the old format already gave, then switch converters.
                SDL_AudioStreamFlush(converter_.get());
                std::vector<float> rest(
                    static_cast<size_t>(SDL_AudioStreamAvailable(converter_.get())) /
                    sizeof(float));
                const int got = SDL_AudioStreamGet(converter_.get(), rest.data(),
                                                   static_cast<int>(rest.size() * sizeof(float)));
                if (got > 0) ring_.Write(rest.data(), static_cast<size_t>(got) / kFrameBytes);
                inputRate_ = static_cast<int>(rate);
                inputChannels_ = channels;
                if (channels < 1 || channels > 2 || !MakeConverterLocked()) inputEnded_ = true;
            }
        } else if (rc != MPG123_OK) {
            // MPG123_DONE, or damage the decoder cannot get past: the stream ends here.
            inputEnded_ = true;
        } else if (bytes == 0) {
            // Should not happen on a file; never spin on it.
            if (++emptyReads_ > 64) inputEnded_ = true;
        } else {
            emptyReads_ = 0;
        }
    }
}
