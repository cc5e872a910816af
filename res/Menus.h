#pragma once

#include <string>
#include <vector>

// Plain descriptions of the menu bar (146) and the tray menu (130) per interface language.
// Read-only data, callable from any thread.

// One menu entry: a command (commandId > 0, no children), a submenu (commandId 0 with
// children) or a separator. Text may hold an '&' mnemonic and a "\t"-separated shortcut.
struct MenuItemDef {
    int commandId = 0;
    std::string text;
    std::vector<MenuItemDef> children;
    bool separator = false;
};

// The top-level entries of menu `menuId` (IDR_MAINMENU or IDR_TRAYMENU) in `languageId`;
// other languages fall back to English, an unknown menu gives an empty list. The tray menu
// is one submenu holding the tray commands, as the tray shows its first submenu.
std::vector<MenuItemDef> LoadResMenu(int menuId, int languageId);
