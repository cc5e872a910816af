#include "library/GenreName.h"

#include <id3/globals.h>
#include <strings.h>

#include <algorithm>
#include <cctype>

// Most taggers write the genre as its name ("Rock") or a bare number ("17") rather than
// "(17)"; without this such files would show no genre at all.
int32_t GenreFromName(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    text.erase(0, start);
    if (text.empty()) return kNoGenre;
    if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return text.size() <= 3 ? std::min(std::stoi(text), kNoGenre) : kNoGenre;
    }
    for (int32_t id = 0; id < ID3_NR_OF_V1_GENRES; ++id) {
        if (strcasecmp(ID3_v1_genre_description[id], text.c_str()) == 0) return id;
    }
    return kNoGenre;
}

