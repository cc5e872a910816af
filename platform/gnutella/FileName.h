#pragma once
// Turns a file name offered by a peer into a plain name inside one folder. Any thread.
#include <string>
#include <string_view>

namespace gnutella {

constexpr size_t kMaxFileNameBytes = 200;

// No separators, no "..", no leading dot or dash, no control characters, at most
// kMaxFileNameBytes bytes (cut on a UTF-8 boundary, the extension kept); never empty.
std::string SanitizeFileName(std::string_view name);

}  // namespace gnutella
