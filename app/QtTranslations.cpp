#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

const char* QtLocaleName(int language) {
    switch (language) {
        case 1037: return "he";
        case 1043: return "nl";
        case 2052: return "zh_CN";
        default: return nullptr;
    }
}

}  // namespace

QTranslator* InstallQtTranslations(int language) {
    const char* name = QtLocaleName(language);
    QCoreApplication* app = QCoreApplication::instance();
    if (!name || !app) return nullptr;
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_") + QLatin1String(name),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
