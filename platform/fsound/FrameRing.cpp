#include "platform/fsound/FrameRing.h"

#include <algorithm>
#include <bit>

FrameRing::FrameRing(size_t capacity)
    : buffer_(2 * std::bit_ceil(std::max<size_t>(capacity, 2))),
      mask_(std::bit_ceil(std::max<size_t>(capacity, 2)) - 1) {}

size_t FrameRing::Space() const {
    return mask_ + 1 -
           (written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
}

size_t FrameRing::Write(const float* samples, size_t frames) {
    const size_t written = written_.load(std::memory_order_relaxed);
    const size_t count = std::min(frames, Space());
    for (size_t i = 0; i < count; ++i) {
        const size_t at = ((written + i) & mask_) * 2;
        buffer_[at] = samples[2 * i];
        buffer_[at + 1] = samples[2 * i + 1];
    }
    written_.store(written + count, std::memory_order_release);
    return count;
}

size_t FrameRing::Available() const {
    return written_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed);
}

size_t FrameRing::Read(float* samples, size_t frames) {
    const size_t read = read_.load(std::memory_order_relaxed);
    const size_t count = std::min(frames, Available());
    for (size_t i = 0; i < count; ++i) {
        const size_t at = ((read + i) & mask_) * 2;
        samples[2 * i] = buffer_[at];
        samples[2 * i + 1] = buffer_[at + 1];
    }
    read_.store(read + count, std::memory_order_release);
    return count;
}

void FrameRing::Discard() {
    read_.store(written_.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
