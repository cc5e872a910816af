#include "app/SharingOption.h"

#include <QAction>
#include <QMenu>

#include "app/AppStore.h"
#include "app/MainWindow.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

void AddShareTrackInfoItem(MainWindow& window, AppStore& store) {
    // the Options menu is the one that holds the voice item
    QAction* voice = window.findChild<QAction*>(QString::number(ID_VOICE));
    auto* menu = voice ? qobject_cast<QMenu*>(voice->parent()) : nullptr;
    if (!menu) return;
    auto* share = new QAction(
        QString::fromStdString(LoadResString(IDS_SHARE_TRACK_INFO, window.Language())), menu);
    share->setObjectName(kShareTrackInfoSetting);
    share->setCheckable(true);
    share->setChecked(SharesTrackInfo(store));
    menu->insertAction(nullptr, share);
    QObject::connect(share, &QAction::toggled, menu, [&store](bool on) {
        store.SetSetting(kShareTrackInfoSetting, on ? 1 : 0);
    });
}

bool SharesTrackInfo(AppStore& store) {
    return store.FindSetting(kShareTrackInfoSetting).value_or(1) != 0;
}
