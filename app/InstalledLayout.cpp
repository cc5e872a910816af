#include "app/InstalledLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr const char* kDatabaseFile = "Sonvera.mdb";

}  // namespace

std::optional<InstalledLayout> PrepareInstalledLayout(const QString& programDir) {
    if (QFileInfo(kDatabaseFile).isFile()) return std::nullopt;
    const QString shared = QDir(programDir).absoluteFilePath("../share/sonvera");
    const QString templateFile = shared + "/" + kDatabaseFile;
    if (!QFileInfo(templateFile).isFile()) return std::nullopt;
    InstalledLayout layout;
    layout.dataFolder = qEnvironmentVariable("SONVERA_DATA");
    if (layout.dataFolder.isEmpty()) {
        QString base = qEnvironmentVariable("XDG_DATA_HOME");
        if (base.isEmpty()) base = QDir::homePath() + "/.local/share";
        layout.dataFolder = base + "/sonvera";
    }
    layout.helpDir = QDir::cleanPath(shared + "/help/html");
    const QString database = layout.dataFolder + "/" + kDatabaseFile;
    // the template is copied once; later starts keep the user's ratings
    if (QDir().mkpath(layout.dataFolder) && !QFileInfo(database).exists() &&
        QFile::copy(templateFile, database))
        QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);
    return layout;
}
