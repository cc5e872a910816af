#pragma once
// The acoustic fingerprint of a track: Chromaprint over the first two minutes of its decoded
// sound, so that two encodings of one recording get nearly the same print. Any thread; slow
// (decodes the file), so never on the main thread nor in the scan's path.

#include <functional>
#include <optional>
#include <string>

struct AcousticPrint {
    int durationSeconds = 0;  // the whole file's, not only the part printed
    std::string fingerprint;  // Chromaprint's compressed form, URL-safe base64
};

// Null when no decoder takes the file, it holds no sound, or `cancelled` turns true.
std::optional<AcousticPrint> ComputeAcousticPrint(const std::string& path,
                                                  const std::function<bool()>& cancelled = {});
