#pragma once
// Single-producer single-consumer ring of stereo float frames, lock-free. The decoder thread
// writes, the audio callback reads; Discard needs both sides stopped.

#include <atomic>
#include <cstddef>
#include <vector>

class FrameRing {
public:
    // Holds up to `capacity` frames; capacity is rounded up to a power of two.
    explicit FrameRing(size_t capacity);

    // Producer side.
    size_t Space() const;
    // Copies up to `frames` frames (2 floats each) in; returns how many fitted.
    size_t Write(const float* samples, size_t frames);

    // Consumer side.
    size_t Available() const;
    // Copies up to `frames` frames out; returns how many there were.
    size_t Read(float* samples, size_t frames);

    // Empties the ring. Neither side may run meanwhile.
    void Discard();

private:
    std::vector<float> buffer_;
    size_t mask_;
    // Monotonic frame counters; index = counter & mask_.
    std::atomic<size_t> written_{0};
    std::atomic<size_t> read_{0};
};
