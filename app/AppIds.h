#pragma once
// The string and command numbers the application core uses by name.

namespace AppIds {
// strings
constexpr int StrGood = 3103;
constexpr int StrFirstUseQuestion = 3104;
constexpr int StrAwesome = 3105;
constexpr int StrAverage = 3106;
constexpr int StrBad = 3107;
constexpr int StrPause = 3111;
constexpr int StrPlay = 3119;
constexpr int StrDisabled = 3122;
constexpr int StrNotRated = 3123;
constexpr int StrDatabaseCounts = 3125;
constexpr int StrSearchCaption = 3126;
constexpr int StrWelcome = 3127;
constexpr int StrSearchingForSongs = 3129;
constexpr int StrAddFilesTitle = 3130;
constexpr int StrDirectoryAdded = 3131;
constexpr int StrConnecting = 3132;
constexpr int StrConnects = 3133;
constexpr int StrFatalInThread = 3135;
constexpr int StrFatalCaption = 3136;
constexpr int StrNeedsUpdate = 3137;
constexpr int StrCannotFindDatabase = 3138;
constexpr int StrDataAccessPage = 3142;
constexpr int StrRated = 3180;
constexpr int StrDownloadIllegal = 3181;
constexpr int StrExcluded = 3184;

// menu and tray commands
constexpr int CmdAddFiles = 104;
constexpr int CmdWinAmp = 141;
constexpr int CmdMediaPlayer = 142;
constexpr int CmdCatalog = 145;
constexpr int CmdExit = 160;
constexpr int CmdVoice = 1771;
constexpr int CmdIndex = 1772;
constexpr int CmdAbout = 1773;
constexpr int CmdSearch = 1774;
constexpr int CmdAddArtist = 1775;
constexpr int CmdViewActivity = 1776;
constexpr int CmdInfoBrowser = 1777;
constexpr int CmdFmod = 1779;
constexpr int CmdPlaySettings = 1780;
constexpr int CmdHelp = 57670;
constexpr int TrayAwesome = 131;
constexpr int TrayGood = 132;
constexpr int TrayNormal = 133;
constexpr int TrayBad = 134;
constexpr int TraySkip = 135;
constexpr int TrayExclude = 148;
}  // namespace AppIds
