#include "library/FileNameText.h"

#include <cstdint>

#include "library/CodePage.h"

namespace {

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 character at i; 0 when the bytes there are not one.
size_t CharacterLength(const std::string& bytes, size_t i) {
    const auto at = [&](size_t k) { return static_cast<uint8_t>(bytes[k]); };
    const uint8_t lead = at(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;  // range of the second byte; narrower to refuse overlong forms
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size() || at(i + 1) < low || at(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (!IsContinuation(at(i + k))) return 0;
    }
    return length;
}

}  // namespace

std::string FileNameText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        if (const size_t length = CharacterLength(bytes, i); length != 0) {
            text.append(bytes, i, length);
            i += length;
            continue;
        }
        size_t end = i + 1;
        while (end < bytes.size() && CharacterLength(bytes, end) == 0) ++end;
        text += AnsiToUtf8(bytes.substr(i, end - i));
        i = end;
    }
    return text;
}
