#pragma once
// Where an installed program (PREFIX/bin/sonvera) finds its database template and help pages
// (PREFIX/share/sonvera), and the user's data folder it runs in. Main thread, at start.

#include <QString>
#include <optional>

struct InstalledLayout {
    QString dataFolder;  // made on first start, with a copy of the template
    QString helpDir;     // the folder of the help pages
};

// Nothing when the working folder already holds a database or no installed template is found
// beside the program (a run from the build tree, or the run script's data folder).
std::optional<InstalledLayout> PrepareInstalledLayout(const QString& programDir);
