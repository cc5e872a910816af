#include "res/Menus.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace {

// The layout of a menu without its texts: "(" and ")" around submenus, "-" for separators.
std::string Shape(const std::vector<MenuItemDef>& items)
{
    std::string shape;
    for (const MenuItemDef& item : items) {
        if (item.separator)
            shape += "- ";
        else if (!item.children.empty())
            shape += "( " + Shape(item.children) + ") ";
        else
            shape += std::to_string(item.commandId) + " ";
    }
    return shape;
}

void CollectCommands(const std::vector<MenuItemDef>& items, std::vector<int>& commands)
{
    for (const MenuItemDef& item : items) {
        if (item.commandId > 0)
            commands.push_back(item.commandId);
        CollectCommands(item.children, commands);
    }
}

// Checks texts of one level and below; reports problems through gtest.
void CheckTexts(const std::vector<MenuItemDef>& items, int language)
{
    std::map<char32_t, std::string> mnemonics;
    for (const MenuItemDef& item : items) {
        if (item.separator) {
            EXPECT_EQ(item.commandId, 0);
            EXPECT_TRUE(item.text.empty());
            continue;
        }
        EXPECT_FALSE(item.text.empty()) << "command " << item.commandId << " in " << language;
        EXPECT_TRUE(IsValidUtf8(item.text)) << item.text;
        EXPECT_TRUE(item.commandId > 0 ? item.children.empty() : !item.children.empty()) << item.text;
        size_t amp = item.text.find('&');
        ASSERT_NE(amp, std::string::npos) << "no mnemonic: " << item.text;
        ASSERT_LT(amp + 1, item.text.size()) << item.text;
        EXPECT_EQ(item.text.find('&', amp + 1), std::string::npos) << "two mnemonics: " << item.text;
        auto key = static_cast<unsigned char>(item.text[amp + 1]);
        char32_t mnemonic = key < 0x80 ? static_cast<char32_t>(std::tolower(key)) : (static_cast<char32_t>(key) << 8) |
                                                                                       static_cast<unsigned char>(item.text[amp + 2]);
        auto [it, fresh] = mnemonics.emplace(mnemonic, item.text);
        EXPECT_TRUE(fresh) << "'" << item.text << "' and '" << it->second << "' share a mnemonic in " << language;
        if (auto tab = item.text.find('\t'); tab != std::string::npos) {
            EXPECT_EQ(item.text.substr(tab), "\tF1") << item.text;
        }
        CheckTexts(item.children, language);
    }
}

void CheckTranslated(const std::vector<MenuItemDef>& items, const std::vector<MenuItemDef>& english, int language)
{
    ASSERT_EQ(items.size(), english.size());
    for (size_t i = 0; i < items.size(); ++i) {
        // Product names like "WinAmp" stay; everything else reads in the language's script.
        bool productName = items[i].commandId == ID_PLAYER_MEDIA_PLAYER || items[i].commandId == ID_PLAYER_WINAMP ||
                           items[i].commandId == ID_PLAYER_FMOD || items[i].text == "Sonvera";
        if (!items[i].separator && !productName) {
            EXPECT_TRUE(HasNonAscii(items[i].text)) << items[i].text << " in " << language;
        }
        CheckTranslated(items[i].children, english[i].children, language);
    }
}

}  // namespace

TEST(Menus, EveryLanguageHasTheSameLayoutAndCommands)
{
    for (int menu : {IDR_MAINMENU, IDR_TRAYMENU}) {
        std::string english = Shape(LoadResMenu(menu, kLanguageEnglish));
        ASSERT_FALSE(english.empty());
        for (int language : kInterfaceLanguages)
            EXPECT_EQ(Shape(LoadResMenu(menu, language)), english) << "menu " << menu << " in " << language;
    }
}

TEST(Menus, MainMenuOffersEveryCommandOnce)
{
    std::vector<int> commands;
    CollectCommands(LoadResMenu(IDR_MAINMENU, kLanguageEnglish), commands);
    std::vector<int> expected = {ID_ADD_FILES, ID_EXIT, ID_CATALOG, ID_SEARCH, ID_INFO_BROWSER, ID_ADD_ARTIST,
                                 ID_VIEW_ACTIVITY, ID_PLAYER_MEDIA_PLAYER, ID_PLAYER_WINAMP, ID_PLAYER_FMOD,
                                 ID_VOICE, ID_PLAY_SETTINGS, ID_HELP_INDEX, ID_ABOUT, ID_WHY_THIS_TRACK,
                                 ID_LEARN_FROM_SKIPS};
    std::sort(commands.begin(), commands.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(commands, expected);
    for (const MenuItemDef& top : LoadResMenu(IDR_MAINMENU, kLanguageEnglish))
        EXPECT_FALSE(top.children.empty()) << "the menu bar holds only submenus: " << top.text;
}

TEST(Menus, TrayMenuIsOneSubmenuInTheGivenOrder)
{
    auto tray = LoadResMenu(IDR_TRAYMENU, kLanguageEnglish);
    ASSERT_EQ(tray.size(), 1u);
    EXPECT_EQ(Shape(tray[0].children), "131 132 133 134 148 - 135 160 ");
}

TEST(Menus, TextsHaveOneUniqueMnemonicPerLevel)
{
    for (int menu : {IDR_MAINMENU, IDR_TRAYMENU})
        for (int language : kInterfaceLanguages) {
            SCOPED_TRACE("menu " + std::to_string(menu) + " language " + std::to_string(language));
            auto items = LoadResMenu(menu, language);
            // The tray's submenu title is never shown; only its entries are.
            CheckTexts(menu == IDR_TRAYMENU ? items.at(0).children : items, language);
        }
}

TEST(Menus, HebrewAndChineseMenusAreTranslated)
{
    for (int menu : {IDR_MAINMENU, IDR_TRAYMENU})
        for (int language : {kLanguageHebrew, kLanguageChinese})
            CheckTranslated(LoadResMenu(menu, language), LoadResMenu(menu, kLanguageEnglish), language);
}

TEST(Menus, UnknownMenuIsEmptyAndUnknownLanguageIsEnglish)
{
    EXPECT_TRUE(LoadResMenu(999, kLanguageEnglish).empty());
    auto german = LoadResMenu(IDR_MAINMENU, 1031);
    auto english = LoadResMenu(IDR_MAINMENU, kLanguageEnglish);
    ASSERT_EQ(german.size(), english.size());
    for (size_t i = 0; i < german.size(); ++i)
        EXPECT_EQ(german[i].text, english[i].text);
}
