#pragma once

// Numeric identifiers of the program's resources: strings, dialog templates, menus, menu
// commands and dialog controls. Plain constants, usable from any thread.
//
// Control IDs are only unique inside one dialog, so each control name carries its dialog.

// ---------------------------------------------------------------------------------------
// String table
// ---------------------------------------------------------------------------------------
inline constexpr int IDS_GOOD = 3103;                  // "Good"
inline constexpr int IDS_ASK_AUTO_SEARCH = 3104;       // first-use question
inline constexpr int IDS_AWESOME = 3105;               // "Awesome!"
inline constexpr int IDS_AVERAGE = 3106;               // "Average"
inline constexpr int IDS_BAD = 3107;                   // "Bad"
inline constexpr int IDS_PLAY_CONTROL = 3108;          // "Play control"
inline constexpr int IDS_RATING = 3109;                // "Rating"
inline constexpr int IDS_TRACK_INFORMATION = 3110;     // "Track information"
inline constexpr int IDS_PAUSE = 3111;                 // "Pause"
inline constexpr int IDS_SKIP = 3112;                  // "Skip"
inline constexpr int IDS_MOOD = 3113;                  // "Mood"
inline constexpr int IDS_ARTIST = 3114;                // "Artist"
inline constexpr int IDS_TRACK = 3115;                 // "Track"
inline constexpr int IDS_ALBUM = 3116;                 // "Album"
inline constexpr int IDS_YEAR = 3117;                  // "Year"
inline constexpr int IDS_GENRE = 3118;                 // "Genre"
inline constexpr int IDS_PLAY = 3119;                  // "Play"
inline constexpr int IDS_DOWNLOAD = 3120;              // "Download"
inline constexpr int IDS_EXCLUDE = 3121;               // "Exclude"
inline constexpr int IDS_DISABLED = 3122;              // "Disabled"
inline constexpr int IDS_NOT_RATED = 3123;             // "Not rated"
inline constexpr int IDS_VOLUME = 3124;                // "Volume"
inline constexpr int IDS_DATABASE_STATUS = 3125;       // "Database: Total %d, Rated %d"
inline constexpr int IDS_SEARCH = 3126;                // "Search"
inline constexpr int IDS_WELCOME = 3127;               // "Welcome to Sonvera"
inline constexpr int IDS_LIBRARY = 3128;               // "Library"
inline constexpr int IDS_SEARCHING_FOR_SONGS = 3129;   // "Searching for songs"
inline constexpr int IDS_SELECT_DIRECTORY = 3130;      // folder browser title
inline constexpr int IDS_DIRECTORY_ADDED = 3131;       // after a folder was queued
inline constexpr int IDS_DOWNLOAD_CONNECTING = 3132;   // "Connecting... %d downloads ..."
inline constexpr int IDS_DOWNLOAD_CONNECTED = 3133;    // "%d Connects %d downloads ..."
inline constexpr int IDS_EDIT = 3134;                  // "edit"
inline constexpr int IDS_THREAD_ERROR = 3135;          // fatal error in a thread, %s = thread name
inline constexpr int IDS_FATAL_ERROR = 3136;           // "Fatal Error..." (caption)
inline constexpr int IDS_MDAC_UPDATE = 3137;           // data-access components update needed
inline constexpr int IDS_DATABASE_MISSING = 3138;      // "Cannot find the Sonvera database file..."
inline constexpr int IDS_RETRIEVING = 3139;            // "Retrieving..."
inline constexpr int IDS_STATUS = 3140;                // "Status"
inline constexpr int IDS_PROGRESS = 3141;              // "Progress"
inline constexpr int IDS_MDAC_URL = 3142;              // address of the data-access download page
inline constexpr int IDS_PROGRESS_KB = 3143;           // "%d of %dkb"
inline constexpr int IDS_DL_NO_SOURCES = 3144;         // download status code 1
inline constexpr int IDS_DL_PENDING = 3145;            // 2
inline constexpr int IDS_DL_CONNECTING = 3146;         // 3
inline constexpr int IDS_DL_CONNECTED = 3147;          // 4
inline constexpr int IDS_DL_SENDING = 3148;            // 5
inline constexpr int IDS_DL_RECEIVING = 3149;          // 6
inline constexpr int IDS_DL_PUSH = 3150;               // 7
inline constexpr int IDS_DL_CLOSED = 3151;             // 8
inline constexpr int IDS_DL_COMPLETED = 3152;          // 9
inline constexpr int IDS_DL_COOLING_DOWN = 3153;       // 10
inline constexpr int IDS_DL_QUEUED = 3154;             // 11
inline constexpr int IDS_SPEED_SLOW = 3155;            // connection speed index 0
inline constexpr int IDS_SPEED_MEDIUM = 3156;          // 1
inline constexpr int IDS_SPEED_FAST = 3157;            // 2
inline constexpr int IDS_SPEED_ULTRAFAST = 3158;       // 3
inline constexpr int IDS_LYRICS = 3160;                // "Lyrics"
inline constexpr int IDS_PHOTOS = 3161;                // "Photos"
inline constexpr int IDS_BUY = 3162;                   // "Buy"
inline constexpr int IDS_LINKS = 3163;                 // "Links"
inline constexpr int IDS_NOTICE_WELCOME = 3164;        // start-up notice, line 1 (control 1096)
inline constexpr int IDS_NOTICE_WARNING = 3165;        // line 2 (1097)
inline constexpr int IDS_NOTICE_P2P = 3166;            // line 3 (1098)
inline constexpr int IDS_NOTICE_ILLEGAL = 3167;        // line 4 (1099)
inline constexpr int IDS_NOTICE_CONTACT = 3168;        // line 5 (1100)
inline constexpr int IDS_NOTICE_BLANK = 3169;          // line 6 (1101), the empty text
inline constexpr int IDS_NOTICE_RIGHTS = 3170;         // line 7 (1102)
inline constexpr int IDS_NOTICE_UNDERSTAND = 3171;     // check box 1068
inline constexpr int IDS_CANCEL = 3172;                // "Cancel"
inline constexpr int IDS_OK = 3173;                    // "OK"
inline constexpr int IDS_ADD_ARTIST_INTRO = 3174;      // Add artist window explanation
inline constexpr int IDS_CONNECTION_SPEED_INTRO = 3175; // connection speed explanation
inline constexpr int IDS_ADD_ARTIST_BUTTON = 3176;     // "Add artist/band to list"
inline constexpr int IDS_INFO_BROWSER = 3177;          // "Info browser"
inline constexpr int IDS_ACTIVITY_SEARCHING = 3178;    // "Searching: %d found in %d seconds, ..."
inline constexpr int IDS_ACTIVITY_NO_SEARCH = 3179;    // "No search: %d seconds, ..."
inline constexpr int IDS_ACTIVITY_REFUSED = 3450;      // "Refused by a peer: %s"
inline constexpr int IDS_RATED = 3180;                 // "Rated " (followed by the rating word)
inline constexpr int IDS_DOWNLOAD_ILLEGAL = 3181;      // refusal for the United States
inline constexpr int IDS_COULD_NOT_LOAD = 3182;        // "Could not load %s"
inline constexpr int IDS_NO_SOUNDCARD = 3183;          // "No soundcard found."
inline constexpr int IDS_EXCLUDED = 3184;              // "Excluded"
inline constexpr int IDS_DOWNLOAD_ACTIVITY = 3185;     // "Download activity"
inline constexpr int IDS_ARTISTS_QUEUED = 3186;        // "Artists queued for download"
inline constexpr int IDS_CURRENT_DOWNLOADS = 3187;     // "Current downloads"
inline constexpr int IDS_DELETE = 3188;                // "Delete"
inline constexpr int IDS_DELETE_ALL = 3189;            // "Delete all"
inline constexpr int IDS_WINAMP_NOT_FOUND = 3190;      // "Cannot locate WinAmp. ..."
inline constexpr int IDS_SPECIAL_THANKS = 3191;        // "Special thanks to"
inline constexpr int IDS_SUPPORTERS = 3192;            // "Supporters of the Sonvera revolution"
inline constexpr int IDS_PLAY_RATED = 3193;            // "Play rated tracks"
inline constexpr int IDS_PLAY_ARTIST_BASED = 3194;     // "Play tracks based on average artist ratings"
inline constexpr int IDS_PLAY_GENRE_BASED = 3195;      // "Play tracks based on average genre ratings"
inline constexpr int IDS_PLAY_RANDOM = 3196;           // "Play random tracks"
inline constexpr int IDS_NEVER = 3197;                 // "Never"
inline constexpr int IDS_OFTEN = 3198;                 // "Often"
inline constexpr int IDS_PLAY_SETTINGS = 3199;         // "Play settings"
inline constexpr int IDS_CLOSE_MINIMISED = 3200;      // close hint where no notification area exists
// Why the current track was picked, and skips learned.
inline constexpr int IDS_WHY_TRACK = 3240;             // "a track you rated %s"
inline constexpr int IDS_WHY_ARTIST = 3241;            // "an artist you rate %s on average"
inline constexpr int IDS_WHY_GENRE = 3242;             // "a genre you rate %s on average"
inline constexpr int IDS_WHY_NEW = 3243;               // "something new"
inline constexpr int IDS_WHY_CHOSEN = 3244;            // band, share, candidates
inline constexpr int IDS_WHY_AVERAGE = 3245;           // "Average rating in this mood: %s."
inline constexpr int IDS_WHY_LEAST_RECENT = 3246;      // the least recently played was taken
inline constexpr int IDS_WHY_RANDOM = 3247;            // taken at random
inline constexpr int IDS_WHY_FELL_BACK = 3248;         // band, share, unrated candidates
inline constexpr int IDS_WHY_USER = 3249;              // "You chose this track yourself."
inline constexpr int IDS_WHY_NONE = 3250;              // "No track has been picked yet."
inline constexpr int IDS_WHY_TITLE = 3251;             // "Why this track?"
inline constexpr int IDS_LEARNED = 3252;               // "Learned: "
inline constexpr int IDS_LEARN_FROM_SKIPS = 3253;      // "Learn from skips"
inline constexpr int IDS_WHY_LEARNED = 3254;           // the rating was learned from skips
inline constexpr int IDS_NOTIFICATIONS = 3260;         // "Notifications" (Options menu)
// Song-information exchange: its outcomes, the editor's texts, the sharing option.
inline constexpr int IDS_SONGINFO_SENDING = 3300;      // "Sending song information to Sonvera server..."
inline constexpr int IDS_SONGINFO_UNREACHABLE = 3301;  // "Sonvera server could not be reached."
inline constexpr int IDS_SONGINFO_REFUSED = 3302;      // "Sonvera server refused the request (error %s)."
inline constexpr int IDS_SONGINFO_BUSY = 3303;         // "Sonvera server is busy. Please try again in %s seconds."
inline constexpr int IDS_SONGINFO_UNKNOWN = 3304;      // "Sonvera server knows nothing about this song."
inline constexpr int IDS_SONGINFO_SENT = 3305;         // "Song information sent to Sonvera server."
inline constexpr int IDS_SONGINFO_REQUESTED = 3306;    // "Song information requested from Sonvera server."
inline constexpr int IDS_SONGINFO_RETRIEVED = 3307;    // "Song information retrieved from Sonvera server."
inline constexpr int IDS_SHARE_TRACK_INFO = 3308;      // "Share track information"
inline constexpr int IDS_FORMAT = 3551;                // "Format"
inline constexpr int IDS_DOWNLOAD_OTHER_FORMATS = 3550;  // "Download FLAC, Ogg, Opus and AAC files too"
inline constexpr int IDS_PICK_CORRECT = 3309;          // "Pick the correct one"
inline constexpr int IDS_STATUS_DOTS = 3310;           // "Status..."
inline constexpr int IDS_ALL_ENCODINGS = 3311;         // "All encodings"
inline constexpr int IDS_UNICODE = 3312;               // "Unicode"
inline constexpr int IDS_FILENAME = 3313;              // "Filename"
inline constexpr int IDS_CHINESE_SIMPLIFIED = 3314;    // "Chinese Simplified"
inline constexpr int IDS_CHINESE_TRADITIONAL = 3315;   // "Chinese Traditional"
inline constexpr int IDS_JAPANESE = 3316;              // "Japanese"
inline constexpr int IDS_HEBREW = 3317;                // "Hebrew"
inline constexpr int IDS_TO_ALL = 3318;                // "-> All"
inline constexpr int IDS_TO_FIELD = 3319;              // "-> %s"
inline constexpr int IDS_SUBMIT_TO_SERVER = 3320;      // "Submit to server"
inline constexpr int IDS_RETRIEVE_FROM_SERVER = 3321;  // "Retrieve from server"
inline constexpr int IDS_UNPLAYABLE = 3350;            // a file that failed to open, + its name

// Downloads (3400-3449).
inline constexpr int IDS_DL_WRITE_FAILED = 3400;       // status 13: the disk refused the bytes
inline constexpr int IDS_DL_WRITE_FAILED_TEXT = 3401;  // message, %s = the download folder
inline constexpr int IDS_DOWNLOAD_LOOKING = 3402;      // status line: no peer, caches asked
inline constexpr int IDS_DOWNLOAD_NO_CACHE = 3403;     // status line: no cache answered
inline constexpr int IDS_ACTIVITY_LOOKING = 3404;      // "%d" host caches asked
inline constexpr int IDS_ACTIVITY_NO_CACHE = 3405;     // "%d" host caches, none answered
inline constexpr int IDS_ACTIVITY_CONNECTED = 3406;    // "%d" peers

// String of a download status code 1..11 (3144..3154); 0 for any other code.
constexpr int DownloadStatusStringId(int statusCode)
{
    return statusCode >= 1 && statusCode <= 11 ? IDS_DL_NO_SOURCES + statusCode - 1 : 0;
}

// String of any status code the activity window shows: the above and 13, a failed write.
constexpr int DownloadStatusTextId(int statusCode)
{
    return statusCode == 13 ? IDS_DL_WRITE_FAILED : DownloadStatusStringId(statusCode);
}

// String of a connection speed index 0..3 (3155..3158); 0 for any other index.
constexpr int ConnectionSpeedStringId(int speedIndex)
{
    return speedIndex >= 0 && speedIndex <= 3 ? IDS_SPEED_SLOW + speedIndex : 0;
}

// Rating word of a rating level 1..4 (Bad, Average, Good, Awesome!); 0 for any other level.
constexpr int RatingWordStringId(int rating)
{
    switch (rating) {
    case 1: return IDS_BAD;
    case 2: return IDS_AVERAGE;
    case 3: return IDS_GOOD;
    case 4: return IDS_AWESOME;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------------------
// Dialog templates, menus, icon, help
// ---------------------------------------------------------------------------------------
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDD_CATALOG = 137;
inline constexpr int IDD_ABOUT = 152;
inline constexpr int IDD_ADD_ARTIST = 156;
inline constexpr int IDD_SEARCH = 157;
inline constexpr int IDD_DOWNLOAD_ACTIVITY = 159;
inline constexpr int IDD_INFO_BROWSER = 161;
inline constexpr int IDD_WARNING = 163;
inline constexpr int IDD_PLAY_SETTINGS = 164;
inline constexpr int IDD_TRACK_INFO = 165;

inline constexpr int IDR_TRAYMENU = 130;
inline constexpr int IDR_MAINMENU = 146;
inline constexpr int IDI_SONVERA = 151;
inline constexpr int IDH_CLOSE_HINT = 1000;  // pop-up help context shown on the first closes

// ---------------------------------------------------------------------------------------
// Menu commands (menu bar 146 and tray menu 130)
// ---------------------------------------------------------------------------------------
inline constexpr int ID_ADD_FILES = 104;
inline constexpr int ID_TRAY_AWESOME = 131;
inline constexpr int ID_TRAY_GOOD = 132;
inline constexpr int ID_TRAY_NORMAL = 133;
inline constexpr int ID_TRAY_BAD = 134;
inline constexpr int ID_TRAY_SKIP = 135;
inline constexpr int ID_PLAYER_WINAMP = 141;
inline constexpr int ID_PLAYER_MEDIA_PLAYER = 142;
inline constexpr int ID_CATALOG = 145;
inline constexpr int ID_TRAY_EXCLUDE = 148;
inline constexpr int ID_EXIT = 160;  // also the system command that acts as Exit
inline constexpr int ID_VOICE = 1771;
inline constexpr int ID_HELP_INDEX = 1772;
inline constexpr int ID_ABOUT = 1773;
inline constexpr int ID_SEARCH = 1774;
inline constexpr int ID_ADD_ARTIST = 1775;
inline constexpr int ID_VIEW_ACTIVITY = 1776;
inline constexpr int ID_INFO_BROWSER = 1777;
inline constexpr int ID_PLAYER_FMOD = 1779;
inline constexpr int ID_PLAY_SETTINGS = 1780;
inline constexpr int ID_WHY_THIS_TRACK = 1790;  // speaks why the current track was picked
inline constexpr int ID_LEARN_FROM_SKIPS = 1791;
inline constexpr int ID_HELP = 57670;  // the framework's Help command

// ---------------------------------------------------------------------------------------
// Controls shared by all dialogs
// ---------------------------------------------------------------------------------------
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Main window (template 102)
inline constexpr int IDC_MAIN_SKIP = 1001;
inline constexpr int IDC_MAIN_MOOD_LIST = 1006;
inline constexpr int IDC_MAIN_POSITION_SLIDER = 1008;
inline constexpr int IDC_MAIN_AWESOME = 1009;
inline constexpr int IDC_MAIN_GOOD = 1010;
inline constexpr int IDC_MAIN_NORMAL = 1011;
inline constexpr int IDC_MAIN_BAD = 1012;
inline constexpr int IDC_MAIN_PAUSE = 1013;
inline constexpr int IDC_MAIN_EXCLUDE = 1014;
inline constexpr int IDC_MAIN_VOLUME_SLIDER = 1017;
inline constexpr int IDC_MAIN_ARTIST = 1036;
inline constexpr int IDC_MAIN_TRACK = 1037;
inline constexpr int IDC_MAIN_ALBUM = 1038;
inline constexpr int IDC_MAIN_YEAR = 1039;
inline constexpr int IDC_MAIN_GENRE = 1040;
inline constexpr int IDC_MAIN_RATING_STATUS = 1041;
inline constexpr int IDC_MAIN_LIBRARY_STATUS = 1042;
inline constexpr int IDC_MAIN_DOWNLOAD_CHECK = 1043;
inline constexpr int IDC_MAIN_DOWNLOAD_STATUS = 1045;
inline constexpr int IDC_MAIN_EDIT_TRACK = 1085;
inline constexpr int IDC_MAIN_RATING_GROUP = 1086;
inline constexpr int IDC_MAIN_MOOD_LABEL = 1087;
inline constexpr int IDC_MAIN_PLAY_CONTROL_GROUP = 1088;
inline constexpr int IDC_MAIN_TRACK_INFO_GROUP = 1089;
inline constexpr int IDC_MAIN_ARTIST_LABEL = 1090;
inline constexpr int IDC_MAIN_TRACK_LABEL = 1091;
inline constexpr int IDC_MAIN_ALBUM_LABEL = 1092;
inline constexpr int IDC_MAIN_YEAR_LABEL = 1093;
inline constexpr int IDC_MAIN_GENRE_LABEL = 1094;
inline constexpr int IDC_MAIN_VOLUME_LABEL = 1095;

// Play settings (template 164): the thirteen sliders in the order of the play weights.
inline constexpr int IDC_PLAY_TRACK_AWESOME = 1090;
inline constexpr int IDC_PLAY_TRACK_GOOD = 1092;
inline constexpr int IDC_PLAY_TRACK_NORMAL = 1093;
inline constexpr int IDC_PLAY_TRACK_BAD = 1094;
inline constexpr int IDC_PLAY_ARTIST_AWESOME = 1082;
inline constexpr int IDC_PLAY_ARTIST_GOOD = 1095;
inline constexpr int IDC_PLAY_ARTIST_NORMAL = 1096;
inline constexpr int IDC_PLAY_ARTIST_BAD = 1097;
inline constexpr int IDC_PLAY_GENRE_AWESOME = 1091;
inline constexpr int IDC_PLAY_GENRE_GOOD = 1098;
inline constexpr int IDC_PLAY_GENRE_NORMAL = 1099;
inline constexpr int IDC_PLAY_GENRE_BAD = 1100;
inline constexpr int IDC_PLAY_RANDOM = 1101;
inline constexpr int kPlaySliderIds[13] = {
    IDC_PLAY_TRACK_AWESOME, IDC_PLAY_TRACK_GOOD,   IDC_PLAY_TRACK_NORMAL,  IDC_PLAY_TRACK_BAD,
    IDC_PLAY_ARTIST_AWESOME, IDC_PLAY_ARTIST_GOOD, IDC_PLAY_ARTIST_NORMAL, IDC_PLAY_ARTIST_BAD,
    IDC_PLAY_GENRE_AWESOME, IDC_PLAY_GENRE_GOOD,   IDC_PLAY_GENRE_NORMAL,  IDC_PLAY_GENRE_BAD,
    IDC_PLAY_RANDOM};
inline constexpr int IDC_PLAY_TITLE_RATED = 1110;    // section titles, strings 3193..3196
inline constexpr int IDC_PLAY_TITLE_ARTIST = 1111;
inline constexpr int IDC_PLAY_TITLE_GENRE = 1112;
inline constexpr int IDC_PLAY_TITLE_RANDOM = 1113;
inline constexpr int IDC_PLAY_AWESOME_LABEL_FIRST = 1114;  // 1114..1116, string 3105
inline constexpr int IDC_PLAY_GOOD_LABEL_FIRST = 1117;     // 1117..1119, string 3103
inline constexpr int IDC_PLAY_NORMAL_LABEL_FIRST = 1120;   // 1120..1122, string 3106
inline constexpr int IDC_PLAY_BAD_LABEL_FIRST = 1123;      // 1123..1125, string 3107
inline constexpr int IDC_PLAY_NEVER_LABEL_FIRST = 1126;    // 1126..1129, string 3197
inline constexpr int IDC_PLAY_OFTEN_LABEL_FIRST = 1130;    // 1130..1133, string 3198

// Track information editor (template 165)
inline constexpr int IDC_EDITOR_ALBUM = 1049;
inline constexpr int IDC_EDITOR_UNICODE = 1051;
inline constexpr int IDC_EDITOR_CHINESE_SIMPLIFIED = 1052;
inline constexpr int IDC_EDITOR_CHINESE_TRADITIONAL = 1053;
inline constexpr int IDC_EDITOR_JAPANESE = 1054;
inline constexpr int IDC_EDITOR_HEBREW = 1055;
inline constexpr int IDC_EDITOR_FILENAME_PARTS = 1056;
inline constexpr int IDC_EDITOR_TRANSPORT = 1065;
inline constexpr int IDC_EDITOR_ARTIST = 1072;
inline constexpr int IDC_EDITOR_TRACK = 1073;
inline constexpr int IDC_EDITOR_ALL_ENCODINGS = 1076;
inline constexpr int IDC_EDITOR_CANDIDATES = 1077;
inline constexpr int IDC_EDITOR_TO_ARTIST = 1078;
inline constexpr int IDC_EDITOR_TO_TRACK = 1079;
inline constexpr int IDC_EDITOR_TO_ALBUM = 1080;
inline constexpr int IDC_EDITOR_TO_YEAR = 1081;
inline constexpr int IDC_EDITOR_YEAR = 1082;
inline constexpr int IDC_EDITOR_GENRE = 1083;
inline constexpr int IDC_EDITOR_FILENAME = 1084;
inline constexpr int IDC_EDITOR_SUBMIT = 1085;
inline constexpr int IDC_EDITOR_RETRIEVE = 1086;
inline constexpr int IDC_EDITOR_TO_ALL = 1087;
inline constexpr int IDC_EDITOR_STATUS = 1141;

// Add artist (template 156)
inline constexpr int IDC_ADDARTIST_LIST = 1044;
inline constexpr int IDC_ADDARTIST_ADD = 1053;
inline constexpr int IDC_ADDARTIST_NAME = 1054;
inline constexpr int IDC_ADDARTIST_SPEED = 1063;
inline constexpr int IDC_ADDARTIST_NAME_LABEL = 1103;
inline constexpr int IDC_ADDARTIST_INTRO = 1104;
inline constexpr int IDC_ADDARTIST_SPEED_INTRO = 1105;

// Download activity (template 159)
inline constexpr int IDC_ACTIVITY_QUEUE_LIST = 1059;
inline constexpr int IDC_ACTIVITY_DOWNLOAD_LIST = 1060;
inline constexpr int IDC_ACTIVITY_STATUS = 1064;
inline constexpr int IDC_ACTIVITY_DELETE_ARTISTS = 1070;
inline constexpr int IDC_ACTIVITY_DELETE_DOWNLOAD = 1071;
inline constexpr int IDC_ACTIVITY_DELETE_ALL = 1072;
inline constexpr int IDC_ACTIVITY_QUEUE_LABEL = 1106;
inline constexpr int IDC_ACTIVITY_DOWNLOADS_LABEL = 1107;

// Catalog (template 137)
inline constexpr int IDC_CATALOG_TREE = 1019;

// Search (template 157)
inline constexpr int IDC_SEARCH_TEXT = 1046;
inline constexpr int IDC_SEARCH_BUTTON = 1048;
inline constexpr int IDC_SEARCH_LIST = 1058;

// Info browser (template 161)
inline constexpr int IDC_BROWSER_VIEW = 1065;
inline constexpr int IDC_BROWSER_ARTIST = 1066;
inline constexpr int IDC_BROWSER_LYRICS = 1067;
inline constexpr int IDC_BROWSER_PHOTOS = 1068;
inline constexpr int IDC_BROWSER_BUY = 1069;
inline constexpr int IDC_BROWSER_LINKS = 1072;

// About box (template 152)
inline constexpr int IDC_ABOUT_VERSION = 1069;
inline constexpr int IDC_ABOUT_THANKS_HEADING = 1108;
inline constexpr int IDC_ABOUT_SUPPORTERS_HEADING = 1109;

// Start-up notice (template 163): lines 1096..1102 take strings 3164..3170.
inline constexpr int IDC_NOTICE_UNDERSTAND = 1068;
inline constexpr int IDC_NOTICE_LINE_FIRST = 1096;
inline constexpr int IDC_NOTICE_LINE_LAST = 1102;
