#pragma once
// Run-time configuration from the command line and the environment. Main thread, at start.

#include <string>
#include <vector>

#include "res/StringTable.h"

struct AppConfig {
    int language = kLanguageEnglish;
    // base address of the product web site (update and feedback pages), ends in '/'
    std::string productSite;
    // base address of the similar-artist site, without a trailing '/'; empty looks nothing up
    std::string similarSite;
    // the data-access components page; empty means string 3142
    std::string dataAccessPage;
    std::string helpDir;
    // base address of the song-information server, ends in '/'
    std::string infoServer;
    std::string error;  // set when an argument was not understood
    // the download engine's pass; only tests shorten it (SONVERA_DOWNLOAD_PASS_MS)
    int downloadPassMs = 1000;

    std::string FeedbackUrl() const { return productSite + "feedback.asp?TypeID=1"; }
    std::string UpdateUrl(const std::string& version) const {
        return productSite + "Updates.asp?version=" + version;
    }
};

// Options: --language ID, --site URL, --similar-site URL (the product site when absent),
// --data-access-page URL, --help-dir DIR, --info-server URL. Environment (used when the option
// is absent): SONVERA_LANGUAGE, SONVERA_SITE, SONVERA_SIMILAR_SITE, SONVERA_DATA_ACCESS_PAGE,
// SONVERA_HELP_DIR, SONVERA_INFO_SERVER;
// and SONVERA_DOWNLOAD_PASS_MS (10 to 1000), which has no option. getEnv returns null for an unset
// variable.
AppConfig ParseAppConfig(const std::vector<std::string>& args, const char* (*getEnv)(const char*),
                         const std::string& defaultHelpDir);
