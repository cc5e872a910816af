#include "library/FirstUseFolders.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string Location(QStandardPaths::StandardLocation location) {
    return FileSystemPath(QStandardPaths::writableLocation(location));
}

std::string Bytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

// The entry of folder whose name Qt shows as shown; the shown name's bytes when none does.
std::string EntryShownAs(const std::string& folder, const QString& shown) {
    std::vector<std::string> matches;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().native();
        if (QFile::decodeName(QByteArray::fromStdString(name)) == shown) matches.push_back(name);
    }
    if (matches.empty()) return Bytes(shown);
    return *std::min_element(matches.begin(), matches.end());
}

// Default download folders of Linux peer-to-peer clients, below the home folder.
constexpr const char* kPeerToPeerFolders[] = {
    "gtk-gnutella-downloads/complete",  // gtk-gnutella
    ".aMule/Incoming",                  // aMule
    ".local/share/nicotine/downloads",  // Nicotine+
    "FrostWire/Torrent Data Folder",    // FrostWire
    "LimeWire/Saved",                   // LimeWire
    "Downloads/Transmission",           // Transmission with a folder of its own
};

}  // namespace

FirstUseLocations SystemFirstUseLocations() {
    FirstUseLocations locations;
    locations.home = FileSystemPath(QDir::homePath());
    locations.music = Location(QStandardPaths::MusicLocation);
    locations.desktop = Location(QStandardPaths::DesktopLocation);
    locations.documents = Location(QStandardPaths::DocumentsLocation);
    locations.ownDownloads = SonveraDownloadFolder();
    return locations;
}

std::string SonveraDownloadFolder() {
    return WithSlash(Location(QStandardPaths::GenericDataLocation) + "/Sonvera/Downloads");
}

std::string FileSystemPath(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter)) return Bytes(path);
    std::string found = path.startsWith('/') ? "/" : "";
    for (const QString& part : path.split('/', Qt::SkipEmptyParts)) {
        found +=
            part.contains(QChar::ReplacementCharacter) ? EntryShownAs(found, part) : Bytes(part);
        found += '/';
    }
    if (!path.endsWith('/')) found.pop_back();
    return found;
}

std::vector<std::string> FirstUseSearchFolders(const FirstUseLocations& locations) {
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
