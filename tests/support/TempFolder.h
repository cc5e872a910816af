#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. Owned by one test thread.

#include <filesystem>
#include <string>

namespace sonvera::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of `name` inside the folder.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace sonvera::test
