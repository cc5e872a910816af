#include "library/FirstUseFolders.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>

namespace {

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string Location(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location).toStdString();
}

// Default download folders of Linux peer-to-peer clients, below the home folder.
constexpr const char* kPeerToPeerFolders[] = {
    "gtk-gnutella-downloads/complete",   // gtk-gnutella
    ".aMule/Incoming",                   // aMule
    ".local/share/nicotine/downloads",   // Nicotine+
    "FrostWire/Torrent Data Folder",     // FrostWire
    "LimeWire/Saved",                    // LimeWire
    "Downloads/Transmission",            // Transmission with a folder of its own
};

}  // namespace

FirstUseLocations SystemFirstUseLocations() {
    FirstUseLocations locations;
    locations.home = QDir::homePath().toStdString();
    locations.music = Location(QStandardPaths::MusicLocation);
    locations.desktop = Location(QStandardPaths::DesktopLocation);
    locations.documents = Location(QStandardPaths::DocumentsLocation);
    locations.ownDownloads = SonveraDownloadFolder();
    return locations;
}

std::string SonveraDownloadFolder() {
    return WithSlash(Location(QStandardPaths::GenericDataLocation) + "/Sonvera/Downloads");
}

std::vector<std::string> FirstUseSearchFolders(const FirstUseLocations& locations) {
    namespace fs = std::filesystem;
    const std::string home = WithSlash(locations.home);
    std::vector<std::string> candidates;
    auto userFolder = [&](const std::string& folder) {
        if (!folder.empty() && WithSlash(folder) != home) candidates.push_back(WithSlash(folder));
    };
    userFolder(locations.music);
    userFolder(locations.desktop);
    if (!locations.ownDownloads.empty()) candidates.push_back(WithSlash(locations.ownDownloads));
    if (!locations.home.empty()) {
        for (const char* folder : kPeerToPeerFolders) candidates.push_back(home + folder + "/");
    }
    userFolder(locations.documents);

    std::vector<std::string> folders;
    for (const std::string& folder : candidates) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) continue;
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) continue;
        folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> FirstUseSearchFolders() {
    return FirstUseSearchFolders(SystemFirstUseLocations());
}
