#include "platform/gnutella/Zlib.h"

#include <zlib.h>

#include <stdexcept>

namespace gnutella {

Deflater::Deflater() : stream_(std::make_unique<z_stream>()) {
    if (deflateInit(stream_.get(), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::runtime_error("deflateInit failed");
}

Deflater::~Deflater() { deflateEnd(stream_.get()); }

bool Deflater::Compress(std::string_view input, std::string& out) {
    z_stream& z = *stream_;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = uInt(input.size());
    char buffer[16384];
    do {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        const int rc = deflate(&z, Z_SYNC_FLUSH);
        if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
        out.append(buffer, sizeof buffer - z.avail_out);
    } while (z.avail_out == 0);
    return true;
}

Inflater::Inflater() : stream_(std::make_unique<z_stream>()) {
    if (inflateInit(stream_.get()) != Z_OK) throw std::runtime_error("inflateInit failed");
}

Inflater::~Inflater() { inflateEnd(stream_.get()); }

bool Inflater::Inflate(std::string_view input, std::string& out, size_t maxOut) {
    z_stream& z = *stream_;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = uInt(input.size());
    size_t produced = 0;
    char buffer[16384];
    do {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        const int rc = inflate(&z, Z_SYNC_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
        const size_t n = sizeof buffer - z.avail_out;
        produced += n;
        if (produced > maxOut) return false;
        out.append(buffer, n);
        if (rc == Z_STREAM_END) finished_ = true;
        if (rc == Z_BUF_ERROR && n == 0) break;
    } while ((z.avail_in > 0 || z.avail_out == 0) && !finished_);
    return true;
}

std::string CompressAll(std::string_view input) {
    uLongf size = compressBound(uLong(input.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(input.data()), uLong(input.size()));
    out.resize(size);
    return out;
}

}  // namespace gnutella
