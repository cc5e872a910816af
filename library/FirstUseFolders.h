#pragma once
// The folders offered to the scanner at the first start. Main thread (QStandardPaths).

#include <string>
#include <vector>

class QString;

// Where the folders of the first-use search lie on this system. Empty = not reported.
struct FirstUseLocations {
    std::string home;
    std::string music;
    std::string desktop;
    std::string documents;
    std::string ownDownloads;  // the program's own download folder
};

// This user's locations, from the XDG user folders.
FirstUseLocations SystemFirstUseLocations();
// The program's own download folder, ending in '/'.
std::string SonveraDownloadFolder();

// In order: music, desktop, the program's download folder, the download folders of common
// peer-to-peer clients, documents. Only folders that exist, each once, each ending in '/'.
// A user folder that is the home folder itself counts as not set.
std::vector<std::string> FirstUseSearchFolders(const FirstUseLocations& locations);
std::vector<std::string> FirstUseSearchFolders();

// The file system's own bytes for a path that Qt shows as text. Qt reads bytes that are not
// UTF-8 as U+FFFD and cannot write them back, so each such part of the path is looked up
// among its folder's entries (the first in byte order when several read the same).
std::string FileSystemPath(const QString& path);
