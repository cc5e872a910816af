// Scans a generated library of N MP3 files (ID3v2 tags, some with a cover picture, some
// with junk before the audio, in nested folders) into a database on disk, and compares the
// rate with reading the first 64 KiB of every file (the I/O floor), both with a warm cache.
// With --mixed, one fifth each of MP3, FLAC, Opus, Ogg Vorbis and M4A, each a stream of its
// own (flac, opusenc, oggenc and ffmpeg), tagged through TagLib.
//
//   bench_library_scan [--mixed] [FILES=10000] [WORK_FOLDER]

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "library/LibraryScanner.h"
#include "tests/support/BuiltDatabase.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A lame-made stream of a few seconds; the generator's only use of outside tools.
Bytes EncodeAudio(const std::string& folder, const std::string& soxArgs, const std::string& lameArgs) {
    const std::string wav = folder + "/base.wav";
    const std::string mp3 = folder + "/base.mp3";
    const std::string command = "sox -q -n " + soxArgs + " '" + wav + "' synth 4 pinknoise vol 0.5 && lame --quiet " +
                                lameArgs + " '" + wav + "' '" + mp3 + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "sox or lame failed\n");
        std::exit(1);
    }
    Bytes audio = ReadAll(mp3);
    fs::remove(wav);
    fs::remove(mp3);
    return audio;
}

// Frames in front of the audio that give each file a fingerprint of its own. The walk
// visits every second frame and stops at 31 letters, of which the last 12 are kept; the
// letters alternate between Z and a digit of the seed (A-Y).
Bytes UniqueFrames(uint32_t seed) {
    Bytes bytes;
    for (size_t frame = 0; frame < 62; ++frame) {
        const size_t visit = frame / 2;
        uint32_t digit = seed;
        for (size_t d = 0; d < visit / 2 % 6; ++d) digit /= 25;
        const char value = visit % 2 == 1 ? 26 : static_cast<char>(1 + digit % 25);
        bytes += "\xFF\xFB\x90";
        bytes += '\0';
        bytes.append(413, value);
    }
    return bytes;
}

void AppendFrame(Bytes& tag, const char* id, const Bytes& body) {
    tag.append(id, 4);
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8) tag += static_cast<char>(size >> shift);
    tag.append(2, '\0');
    tag += body;
}

Bytes Id3v2(uint32_t n, bool cover) {
    Bytes frames;
    AppendFrame(frames, "TPE1", '\0' + ("Artist " + std::to_string(n % 500)));
    AppendFrame(frames, "TIT2", '\0' + ("Title number " + std::to_string(n)));
    AppendFrame(frames, "TALB", '\0' + ("Album " + std::to_string(n % 900)));
    AppendFrame(frames, "TYER", '\0' + std::to_string(1960 + n % 60));
    AppendFrame(frames, "TCON", '\0' + ("(" + std::to_string(n % 148) + ")"));
    if (cover) {
        Bytes picture("\0image/jpeg\0\x03\0", 14);
        for (size_t i = 0; i < 60000; ++i) picture += static_cast<char>((i * 2654435761u) >> 24);
        AppendFrame(frames, "APIC", picture);
    }
    Bytes tag("ID3\x03\0\0", 6);
    const uint32_t size = static_cast<uint32_t>(frames.size() + 256);  // with padding
    for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((size >> shift) & 0x7F);
    return tag + frames + Bytes(256, '\0');
}

// One second of a stereo tone with noise, different for every n, as a 16-bit WAV file.
void WriteWav(const std::string& path, uint32_t n) {
    constexpr uint32_t kRate = 44100;
    constexpr uint32_t kFrames = kRate;
    auto le = [](Bytes& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    };
    Bytes wav = "RIFF";
    le(wav, 36 + kFrames * 4, 4);
    wav += "WAVEfmt ";
    le(wav, 16, 4);
    le(wav, 1, 2);
    le(wav, 2, 2);
    le(wav, kRate, 4);
    le(wav, kRate * 4, 4);
    le(wav, 4, 2);
    le(wav, 16, 2);
    wav += "data";
    le(wav, kFrames * 4, 4);
    uint32_t seed = n * 2654435761u + 1;
    const double step = 2 * 3.14159265358979 * (200.0 + n * 0.37) / kRate;
    for (uint32_t i = 0; i < kFrames; ++i) {
        seed = seed * 214013u + 2531011u;
        const double noise = static_cast<int>((seed >> 16) & 0x7FFF) - 16384;
        const auto sample = static_cast<int16_t>(8000 * std::sin(step * i) + noise / 8);
        le(wav, static_cast<uint16_t>(sample), 2);
        le(wav, static_cast<uint16_t>(sample), 2);
    }
    std::ofstream(path, std::ios::binary) << wav;
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// Runs `command` over the files listed, many to a process.
bool RunOver(const std::vector<std::string>& files, const std::string& command, int perProcess) {
    const std::string list = fs::temp_directory_path() / "sonvera-bench-list";
    {
        std::ofstream out(list, std::ios::binary);
        for (const std::string& file : files) out << file << '\0';
    }
    const bool ok = Run("xargs -0 -P 2 -n " + std::to_string(perProcess) + " " + command + " < '" + list + "'");
    fs::remove(list);
    return ok;
}

// Encodes every WAV of a format and tags the results; n of each file is in its name.
bool EncodeMixed(const std::vector<std::pair<std::string, uint32_t>>& wavs, const std::string& extension) {
    std::vector<std::string> inputs;
    for (const auto& w : wavs) inputs.push_back(w.first);
    bool ok = true;
    if (extension == ".flac") ok = RunOver(inputs, "flac -s -f --delete-input-file", 200);
    if (extension == ".ogg") ok = RunOver(inputs, "oggenc -Q", 200);
    if (extension == ".opus") ok = RunOver(inputs, "sh -c 'opusenc --quiet \"$0\" \"${0%.wav}.opus\"'", 1);
    if (extension == ".m4a") {
        // ffmpeg starts slowly: many files to a process.
        for (size_t start = 0; start < inputs.size() && ok; start += 50) {
            std::string inputArgs;
            std::string outputArgs;
            for (size_t i = start; i < std::min(inputs.size(), start + 50); ++i) {
                const std::string& wav = inputs[i];
                inputArgs += " -i '" + wav + "'";
                outputArgs += " -map " + std::to_string(i - start) + " -c:a aac -b:a 96k '" +
                              wav.substr(0, wav.size() - 4) + ".m4a'";
            }
            ok = Run("ffmpeg -v error -y" + inputArgs + outputArgs);
        }
    }
    for (const auto& [wav, n] : wavs) {
        const std::string path = wav.substr(0, wav.size() - 4) + extension;
        fs::remove(wav);
        TagLib::FileRef file(path.c_str(), false);
        if (file.isNull() || !file.tag()) {
            std::fprintf(stderr, "%s was not made\n", path.c_str());
            return false;
        }
        file.tag()->setArtist(TagLib::String("Artist " + std::to_string(n % 500), TagLib::String::UTF8));
        file.tag()->setTitle(TagLib::String("Title number " + std::to_string(n), TagLib::String::UTF8));
        file.tag()->setAlbum(TagLib::String("Album " + std::to_string(n % 900), TagLib::String::UTF8));
        file.tag()->setYear(1960 + n % 60);
        file.tag()->setGenre("Jazz");
        ok = file.save() && ok;
    }
    return ok;
}

std::vector<std::string> Generate(const std::string& root, int count, bool mixed) {
    std::vector<Bytes> audio = {EncodeAudio(root, "-r 44100 -c 2", "-b 128"),
                                EncodeAudio(root, "-r 44100 -c 2", "-V 4"),
                                EncodeAudio(root, "-r 22050 -c 1", "-b 64")};
    std::vector<std::string> files;
    std::map<std::string, std::vector<std::pair<std::string, uint32_t>>> others;
    for (int n = 0; n < count; ++n) {
        const std::string folder = root + "/lib/artist" + std::to_string(n / 1000) + "/album" +
                                   std::to_string(n / 100 % 10);
        fs::create_directories(folder);
        const std::string path = folder + "/track " + std::to_string(n) + ".mp3";
        if (mixed && n % 5 != 0) {
            static const char* const kOthers[] = {".flac", ".opus", ".ogg", ".m4a"};
            const std::string wav = folder + "/track " + std::to_string(n) + ".wav";
            WriteWav(wav, static_cast<uint32_t>(n));
            others[kOthers[n % 5 - 1]].emplace_back(wav, static_cast<uint32_t>(n));
            files.push_back(wav.substr(0, wav.size() - 4) + kOthers[n % 5 - 1]);
            continue;
        }
        std::ofstream out(path, std::ios::binary);
        out << Id3v2(static_cast<uint32_t>(n), n % 10 == 0);
        if (n % 7 == 0) out << Bytes(333, 'j');
        out << UniqueFrames(static_cast<uint32_t>(n)) << audio[static_cast<size_t>(n) % audio.size()];
        files.push_back(path);
    }
    for (const auto& [extension, wavs] : others) {
        if (!EncodeMixed(wavs, extension)) {
            std::fprintf(stderr, "encoding %s files failed\n", extension.c_str());
            std::exit(1);
        }
    }
    return files;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ReadHeads(const std::vector<std::string>& files) {
    std::vector<char> buffer(64 * 1024);
    const auto start = std::chrono::steady_clock::now();
    size_t total = 0;
    for (const std::string& file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd < 0) continue;
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0) total += static_cast<size_t>(got);
        ::close(fd);
    }
    const double seconds = Seconds(start);
    if (total == 0) std::fprintf(stderr, "nothing read\n");
    return seconds;
}

int32_t Count(CADODataBase& database, const std::string& sql) {
    CADORecordset rows(&database);
    int32_t count = 0;
    if (rows.Open(sql) && !rows.IsEof()) rows.GetFieldValue(int16_t{0}, count);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const bool mixed = argc > 1 && std::string(argv[1]) == "--mixed";
    if (mixed) {
        --argc;
        ++argv;
    }
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::string root;
    if (argc > 2) {
        root = argv[2];
        fs::create_directories(root);
    } else {
        std::string pattern = (fs::temp_directory_path() / "sonvera-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        root = pattern;
    }
    std::vector<std::string> files;
    if (fs::is_directory(root + "/lib")) {
        // A library left by an earlier run in the same folder is scanned again as it is.
        for (const auto& entry : fs::recursive_directory_iterator(root + "/lib")) {
            if (entry.is_regular_file()) files.push_back(entry.path().string());
        }
        std::printf("reusing %zu files in %s\n", files.size(), root.c_str());
    } else {
        std::printf("generating %d files in %s\n", count, root.c_str());
        files = Generate(root, count, mixed);
    }
    const std::string databaseFile = root + "/Sonvera.mdb";
    fs::copy_file(sonvera::test::BuiltDatabase(), databaseFile,
                  fs::copy_options::overwrite_existing);

    ReadHeads(files);  // warms the cache
    const double floorSeconds = ReadHeads(files);

    CADODataBase database;
    if (!database.Open(MakeConnectionString(databaseFile))) {
        std::fprintf(stderr, "%s\n", database.GetLastErrorString().c_str());
        return 1;
    }
    CLibraryScanner scanner(&database);
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    scanner.QueueFolder(root + "/lib/");
    int batches = 0;
    while (scanner.WorkOnce()) ++batches;
    const double scanSeconds = Seconds(start);
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    const int32_t tracks = Count(database, "SELECT COUNT(*) FROM tTrack");
    const int32_t duplicates = Count(database, "SELECT COUNT(*) FROM tDuplicate");
    // Every file with the tags it was given.
    const int32_t tagged = Count(database,
                                 "SELECT COUNT(*) FROM tTrack WHERE Trackname LIKE 'Title number %' "
                                 "AND Artist LIKE 'Artist %' AND Album LIKE 'Album %' AND Year <> ''");
    std::printf("tagged as generated: %d\n", tagged);
    const double n = static_cast<double>(files.size());
    std::printf("scan: %d tracks, %d duplicates, %d batches in %.3f s: %.0f files/s\n", tracks,
                duplicates, batches, scanSeconds, n / scanSeconds);
    std::printf("scan CPU time (user + system): %.3f s: %.0f files per CPU second\n", cpuSeconds,
                n / cpuSeconds);
    std::printf("I/O floor (first 64 KiB of each file, warm): %.3f s: %.0f files/s\n", floorSeconds,
                n / floorSeconds);
    std::printf("scan time / I/O floor time: %.1f\n", scanSeconds / floorSeconds);
    if (argc <= 2) fs::remove_all(root);
    return tracks + duplicates == static_cast<int32_t>(files.size()) ? 0 : 1;
}
