#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "library/FirstUseFolders.h"
#include "tests/library/TestFiles.h"

namespace fs = std::filesystem;

TEST(FirstUseFolders, ExistingFoldersInOrderEachEndingInSlash) {
    TempFolder home;
    for (const char* folder :
         {"Music", "Documents", "own/Downloads", ".aMule/Incoming", "LimeWire/Saved"}) {
        fs::create_directories(home / folder);
    }
    FirstUseLocations locations;
    locations.home = home.Path();
    locations.music = home / "Music";
    locations.desktop = home.Path();  // an unset desktop folder points at home
    locations.documents = home / "Documents/";
    locations.ownDownloads = home / "own/Downloads";
    const std::vector<std::string> expected = {home / "Music/", home / "own/Downloads/",
                                               home / ".aMule/Incoming/", home / "LimeWire/Saved/",
                                               home / "Documents/"};
    EXPECT_EQ(FirstUseSearchFolders(locations), expected);

    locations.music = home / "Missing";
    locations.documents = home / "Music";
    locations.ownDownloads.clear();
    EXPECT_EQ(FirstUseSearchFolders(locations),
              (std::vector<std::string>{home / ".aMule/Incoming/", home / "LimeWire/Saved/",
                                        home / "Music/"}));
}

TEST(FirstUseFolders, SystemFoldersComeFromTheUsersHome) {
    TempFolder home;
    fs::create_directories(home / "Music");
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    const FirstUseLocations locations = SystemFirstUseLocations();
    EXPECT_EQ(locations.home, home.Path());
    EXPECT_EQ(SonveraDownloadFolder(), home / ".local/share/Sonvera/Downloads/");
    const std::vector<std::string> folders = FirstUseSearchFolders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front(), home / "Music/");
}

TEST(FirstUseFolders, AHomeNamedInLatin1KeepsItsBytes) {
    TempFolder temp;
    const std::string home = temp / "m\xFAsica";  // "música" in ISO-8859-1, not UTF-8
    fs::create_directories(home + "/Music");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    EXPECT_EQ(SystemFirstUseLocations().home, home);
    const std::vector<std::string> folders = FirstUseSearchFolders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front(), home + "/Music/");
}
