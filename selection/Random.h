#pragma once
// The C runtime's generator (results 0..32767), one state per thread so that each thread
// seeds and draws on its own. Any thread; touches only the calling thread's state.

#include <cstdint>
#include <ctime>

namespace sonvera::detail {
inline thread_local uint32_t randomState = 1;  // the runtime's seed before any srand
}

inline void SeedRandom(uint32_t seed) { sonvera::detail::randomState = seed; }

// Seeds the calling thread with the current time in seconds.
inline void SeedRandomFromTime() { SeedRandom(static_cast<uint32_t>(std::time(nullptr))); }

// The next number in 0..32767.
inline int NextRandom() {
    uint32_t& state = sonvera::detail::randomState;
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

// The calling thread's raw state; lets tests see which seed a thread started from.
inline uint32_t RandomState() { return sonvera::detail::randomState; }
