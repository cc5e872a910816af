#include "res/StringTable.h"

#include "res/StringData.h"

#include <algorithm>

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
