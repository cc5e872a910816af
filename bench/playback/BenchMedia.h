#pragma once
// What the player benchmarks share: a generated 128 kbit/s stereo MP3 and the clocks they read.

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// User and system time of this process.
inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU time of the calling thread.
inline double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// A sweep (and tone) of `seconds` at 44.1 kHz, 128 kbit/s stereo, made with sox and lame.
inline bool MakeMp3(const std::filesystem::path& mp3, int seconds, const std::string& extra = "") {
    const std::string wav = mp3.string() + ".wav";
    const std::string make = "sox -n -r 44100 -c 2 '" + wav + "' synth " + std::to_string(seconds) +
                             " sine 220:3520 " + extra + " && lame --quiet -b 128 '" + wav + "' '" +
                             mp3.string() + "'";
    const bool made = std::system(make.c_str()) == 0;
    std::filesystem::remove(wav);
    return made;
}

}  // namespace bench
