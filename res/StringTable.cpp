#include "res/StringTable.h"

#include "res/StringData.h"

#include <algorithm>
#include <cctype>

namespace {

std::span<const ResStringEntry> TableOf(int languageId)
{
    switch (languageId) {
    case kLanguageHebrew: return Strings1037();
    case kLanguageDutch: return Strings1043();
    case kLanguageChinese: return Strings2052();
    default: return Strings1033();
    }
}

const ResStringEntry* Find(std::span<const ResStringEntry> table, int id)
{
    auto it = std::find_if(table.begin(), table.end(), [id](const ResStringEntry& e) { return e.id == id; });
    return it == table.end() ? nullptr : &*it;
}

}  // namespace

std::string LoadResString(int id, int languageId)
{
    if (const ResStringEntry* entry = Find(TableOf(languageId), id))
        return entry->text;
    if (const ResStringEntry* entry = Find(Strings1033(), id))
        return entry->text;
    return {};
}

bool HasResString(int id, int languageId)
{
    return IsInterfaceLanguage(languageId) && Find(TableOf(languageId), id) != nullptr;
}

std::vector<int> ResStringIds()
{
    std::vector<int> ids;
    for (const ResStringEntry& entry : Strings1033())
        ids.push_back(entry.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool IsRightToLeft(int languageId)
{
    return languageId == kLanguageHebrew;
}

bool IsInterfaceLanguage(int languageId)
{
    return std::find(std::begin(kInterfaceLanguages), std::end(kInterfaceLanguages), languageId) !=
           std::end(kInterfaceLanguages);
}

int LanguageFromLocaleName(const std::string& localeName)
{
    // "he_IL.UTF-8@modifier" and the BCP 47 form "he-IL" both name he_IL.
    std::string name = localeName.substr(0, localeName.find_first_of(".@"));
    std::replace(name.begin(), name.end(), '-', '_');
    auto underscore = name.find('_');
    if (underscore == std::string::npos)
        return kLanguageEnglish;
    std::string language = name.substr(0, underscore);
    std::string territory = name.substr(underscore + 1);
    for (char& c : language)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : territory)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (language == "he" && territory == "IL")
        return kLanguageHebrew;
    if (language == "nl" && territory == "NL")
        return kLanguageDutch;
    if (language == "zh" && territory == "CN")
        return kLanguageChinese;
    return kLanguageEnglish;
}
