#pragma once
// One MP3 file (or FLAC, Ogg, Opus, AAC/M4A, WAV through GStreamer) decoded ahead on its own thread into a ring of stereo frames at the mixing rate.
// Control calls (Seek, the destructor) come under the FSOUND lock; Read comes from the audio
// callback and never blocks. Lock order: decodeLock_, then consumerLock_.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/fsound/FrameRing.h"
#include "platform/fsound/GstPcmSource.h"
#include "platform/fsound/Mpg123Handle.h"
#include "platform/fsound/SdlAudio.h"

class StreamDecoder {
public:
    // Scans the whole file for its exact length and starts decoding. Null when the file is
    // missing or holds no decodable audio, or when `cancelled` turns true during the scan.
    static std::unique_ptr<StreamDecoder> Open(const std::string& path, int outputRate,
                                               std::function<bool()> cancelled = {});
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    int LengthMs() const { return lengthMs_; }
    // Milliseconds of audio handed out by Read since the start or the last seek target.
    int PositionMs() const;
    // Moves to `ms` (clamped to the length), dropping what was decoded ahead. Waits for the
    // decoder to finish its current chunk and for a running Read.
    bool Seek(int ms);

    struct ReadResult {
        size_t frames = 0;
        bool finished = false;  // decoded to the end and everything handed out
    };
    // Audio callback: copies up to `frames` stereo frames out without waiting. Gives no frames
    // while a seek runs.
    ReadResult Read(float* samples, size_t frames);

    // The file as libmpg123 reads it: refuses to read on once the scan is cancelled.
    struct FileReader;

private:
    StreamDecoder(std::unique_ptr<FileReader> reader, Mpg123Handle handle,
                  std::unique_ptr<GstPcmSource> other, int inputRate, int inputChannels,
                  int64_t lengthSamples, int outputRate);
    static std::unique_ptr<StreamDecoder> OpenOther(const std::string& path, int outputRate,
                                                    const std::function<bool()>& cancelled);
    void Run();
    // Decodes until the ring is full or the file ends. Caller holds decodeLock_.
    void FillLocked();
    bool MakeConverterLocked();

    std::unique_ptr<FileReader> reader_;  // outlives handle_, which reads through it
    Mpg123Handle handle_;                 // decodeLock_; null for the other formats
    std::unique_ptr<GstPcmSource> other_;  // decodeLock_; null for MP3
    int inputRate_;                       // decodeLock_ (a file may change format midway)
    int inputChannels_;                   // decodeLock_
    const int outputRate_;
    const int64_t lengthSamples_;  // at the file's first sample rate
    const int firstRate_;
    const int lengthMs_;
    SdlAudioStreamPtr converter_;              // decodeLock_
    bool inputEnded_ = false;                  // decodeLock_
    bool converterFlushed_ = false;            // decodeLock_
    std::vector<unsigned char> decodeBuffer_;  // decoder thread
    std::vector<float> convertBuffer_;         // decoder thread

    FrameRing ring_;
    std::atomic<bool> decodedAll_{false};
    std::atomic<int64_t> playedFrames_{0};  // at the output rate

    std::mutex decodeLock_;
    std::condition_variable wake_;
    bool stop_ = false;        // decodeLock_
    bool refillNow_ = false;   // decodeLock_
    int emptyReads_ = 0;       // decodeLock_
    std::mutex consumerLock_;  // held by Read (try_lock) and by Seek
    std::thread thread_;
};
