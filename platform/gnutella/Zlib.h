#pragma once
// zlib streams for deflated Gnutella links and QRP patches. One owner per stream; not shared
// between threads.
#include <memory>
#include <string>
#include <string_view>

typedef struct z_stream_s z_stream;

namespace gnutella {

// Compresses a stream; each Compress call ends with a sync flush, so the peer can read every
// message as soon as it arrives.
class Deflater {
public:
    Deflater();
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    // Appends the compressed form of input to out; false on a zlib failure.
    bool Compress(std::string_view input, std::string& out);

private:
    std::unique_ptr<z_stream> stream_;
};

// Inflates a stream in bounded steps so that a small input cannot make a huge allocation.
class Inflater {
public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    // Appends what input inflates to, at most maxOut bytes, to out. False on a corrupt stream
    // or when the output would pass maxOut.
    bool Inflate(std::string_view input, std::string& out, size_t maxOut);
    bool Finished() const { return finished_; }

private:
    std::unique_ptr<z_stream> stream_;
    bool finished_ = false;
};

// One-shot zlib helpers (QRP patches).
std::string CompressAll(std::string_view input);

}  // namespace gnutella
