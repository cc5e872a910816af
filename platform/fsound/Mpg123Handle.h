#pragma once
// Owner of one libmpg123 decoder handle. Used by one thread at a time.

#include <mpg123.h>

#include <memory>

struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const noexcept {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

// A new quiet, gapless handle with the library initialised that gives every rate, mono or
// stereo, in `encoding` (an MPG123_ENC_ value); null when none could be made.
Mpg123Handle MakeMpg123Handle(int encoding);
