#pragma once
// The Options menu's "Share track information": while it is off, the program sends nothing
// about the playing track to the song-information server by itself (the info browser no longer
// follows track starts); what the user asks for, in the editor or the browser, still goes.
// Main thread.

class AppStore;
class MainWindow;

inline constexpr const char* kShareTrackInfoSetting = "ShareTrackInfo";

// Adds the checkable item, showing and storing the setting.
void AddShareTrackInfoItem(MainWindow& window, AppStore& store);
// Adds "Download FLAC, Ogg, Opus and AAC files too", off unless the user switched it on; the
// download engine reads the setting at each search.
void AddDownloadOtherFormatsItem(MainWindow& window, AppStore& store);
// On unless the user switched it off.
bool SharesTrackInfo(AppStore& store);
