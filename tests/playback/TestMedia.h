#pragma once
// MP3 fixtures made with sox and lame in a temporary folder that lives as long as the object.
// Test thread only.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/TempFolder.h"

class TestMedia {
public:
    const std::filesystem::path& Folder() const { return folder_.Path(); }
    // Encodes `soxSynth` (sox's arguments after the output file, e.g. "synth 5 sine 440")
    // at `rate` Hz and `channels` channels with `lameOptions`. Returns the file's path; fails
    // the current test when a tool fails.
    std::string MakeMp3(const std::string& name, int rate, int channels,
                        const std::string& soxSynth, const std::string& lameOptions);
    // Encodes `soxSynth` at 44.1 kHz stereo in the format the name's extension gives (.flac,
    // .ogg, .opus, .m4a, .aac, .wav) with flac, oggenc, opusenc or ffmpeg.
    std::string MakeEncoded(const std::string& name, const std::string& soxSynth);
    // A file holding exactly `bytes`.
    std::string MakeFile(const std::string& name, const std::string& bytes);

private:
    sonvera::test::TempFolder folder_;
};

// Polls cond every 10 ms until it holds or the limit has passed.
inline bool Eventually(const std::function<bool()>& cond,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
