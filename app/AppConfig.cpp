#include "app/AppConfig.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "res/StringTable.h"
#include "songinfo/InfoServer.h"

namespace {

// Shipped default; deployments point it at their own site with --site or SONVERA_SITE.
constexpr const char* DefaultProductSite = "https://www.sonvera.example/";

bool ParseLanguage(const std::string& text, int& language) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !IsInterfaceLanguage(value))
        return false;
    language = value;
    return true;
}

std::string WithSlash(std::string url) {
    if (!url.empty() && url.back() != '/') url += '/';
    return url;
}

}  // namespace

AppConfig ParseAppConfig(const std::vector<std::string>& args, const char* (*getEnv)(const char*),
                         const std::string& defaultHelpDir) {
    AppConfig config;
    auto env = [getEnv](const char* name) -> std::string {
        const char* v = getEnv ? getEnv(name) : nullptr;
        return v ? std::string(v) : std::string();
    };
    std::string language = env("SONVERA_LANGUAGE");
    std::string site = env("SONVERA_SITE");
    std::string similarSite = env("SONVERA_SIMILAR_SITE");
    config.dataAccessPage = env("SONVERA_DATA_ACCESS_PAGE");
    config.helpDir = env("SONVERA_HELP_DIR");
    std::string infoServer = env("SONVERA_INFO_SERVER");
    if (const std::string pass = env("SONVERA_DOWNLOAD_PASS_MS"); !pass.empty())
        config.downloadPassMs = std::clamp(std::atoi(pass.c_str()), 10, 1000);

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--language" || a == "--site" || a == "--similar-site" ||
            a == "--data-access-page" || a == "--help-dir" || a == "--info-server") {
            if (!hasValue) {
                config.error = "missing value after " + a;
                break;
            }
            const std::string& v = args[++i];
            if (a == "--language")
                language = v;
            else if (a == "--site")
                site = v;
            else if (a == "--similar-site")
                similarSite = v;
            else if (a == "--data-access-page")
                config.dataAccessPage = v;
            else if (a == "--info-server")
                infoServer = v;
            else
                config.helpDir = v;
        }
    }
    if (!language.empty() && !ParseLanguage(language, config.language) && config.error.empty())
        config.error = "unknown interface language " + language + " (use 1033, 1037, 1043 or 2052)";
    config.productSite = WithSlash(site.empty() ? DefaultProductSite : site);
    config.similarSite = similarSite.empty() ? config.productSite : similarSite;
    while (!config.similarSite.empty() && config.similarSite.back() == '/')
        config.similarSite.pop_back();
    if (config.helpDir.empty()) config.helpDir = defaultHelpDir;
    config.infoServer = WithSlash(infoServer.empty() ? DefaultInfoServer : infoServer);
    return config;
}
