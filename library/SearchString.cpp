#include "library/SearchString.h"

std::string MakeSearchString(const std::string& path) {
    const size_t slash = path.rfind('/');
    // A separator at the first position only is kept; it is no letter anyway.
    const std::string name = (slash == std::string::npos || slash == 0) ? path : path.substr(slash + 1);
    std::string result;
    result.reserve(name.size());
    for (const char c : name) {
        // Upper-casing in the C locale touches only a-z; every byte of a UTF-8 sequence
        // lies outside A-Z and is dropped.
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper >= 'A' && upper <= 'Z') result.push_back(upper);
    }
    return result;
}
