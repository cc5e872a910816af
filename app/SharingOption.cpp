#include "app/SharingOption.h"

#include <QAction>
#include <QMenu>

#include "app/AppStore.h"
#include "app/MainWindow.h"
#include "download/CDownloader.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

// A checkable item at the end of the Options menu that shows and stores a setting.
void AddSettingItem(MainWindow& window, AppStore& store, int stringId, const char* setting,
                    bool checked) {
    // the Options menu is the one that holds the voice item
    QAction* voice = window.findChild<QAction*>(QString::number(ID_VOICE));
    auto* menu = voice ? qobject_cast<QMenu*>(voice->parent()) : nullptr;
    if (!menu) return;
    auto* item =
        new QAction(QString::fromStdString(LoadResString(stringId, window.Language())), menu);
    item->setObjectName(setting);
    item->setCheckable(true);
    item->setChecked(checked);
    menu->insertAction(nullptr, item);
    QObject::connect(item, &QAction::toggled, menu, [&store, setting](bool on) {
        store.SetSetting(setting, on ? 1 : 0);
    });
}

}  // namespace

void AddShareTrackInfoItem(MainWindow& window, AppStore& store) {
    AddSettingItem(window, store, IDS_SHARE_TRACK_INFO, kShareTrackInfoSetting,
                   SharesTrackInfo(store));
}

void AddDownloadOtherFormatsItem(MainWindow& window, AppStore& store) {
    AddSettingItem(window, store, IDS_DOWNLOAD_OTHER_FORMATS, kDownloadOtherFormatsSetting,
                   store.FindSetting(kDownloadOtherFormatsSetting).value_or(0) != 0);
}

bool SharesTrackInfo(AppStore& store) {
    return store.FindSetting(kShareTrackInfoSetting).value_or(1) != 0;
}
