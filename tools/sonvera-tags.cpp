// Prints the tags, bit rate, fingerprint and search string of each file, one line per file,
// fields separated by tabs.

#include <cstdio>
#include <string>

#include "library/SearchString.h"
#include "library/TagReader.h"

namespace {

std::string Field(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sonvera-tags FILE...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        const TrackRecord t = ReadTrackInfo(path);
        const std::string fields[] = {
            path, t.OrigArtist, t.OrigTrackname, t.OrigAlbum, t.OrigYear, t.Artist,
            t.Trackname, t.Album, t.Year, std::to_string(t.GenreID), std::to_string(t.BitRate),
            t.FingerPrint, MakeSearchString(path)};
        std::string line;
        for (const auto& field : fields) {
            if (!line.empty()) line += '\t';
            line += Field(field);
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}
