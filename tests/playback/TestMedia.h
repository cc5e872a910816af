#pragma once
// MP3 fixtures made with sox and lame in a temporary folder that lives as long as the object.
// Test thread only.

#include <filesystem>
#include <string>

#include "tests/support/TempFolder.h"

class TestMedia {
public:
    const std::filesystem::path& Folder() const { return folder_.Path(); }
    // Encodes `soxSynth` (sox's arguments after the output file, e.g. "synth 5 sine 440")
    // at `rate` Hz and `channels` channels with `lameOptions`. Returns the file's path; fails
    // the current test when a tool fails.
    std::string MakeMp3(const std::string& name, int rate, int channels,
                        const std::string& soxSynth, const std::string& lameOptions);
    // A file holding exactly `bytes`.
    std::string MakeFile(const std::string& name, const std::string& bytes);

private:
    sonvera::test::TempFolder folder_;
};
