#pragma once
// Builds the controls of template 102 into the main window. Main thread.

#include <QString>
#include <functional>
#include <vector>

#include "res/Menus.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QObject;
class QPushButton;
class QSlider;
class QVBoxLayout;

struct MainWindowControls {
    QLabel* ratingStatus = nullptr;    // 1041
    QPushButton* awesome = nullptr;    // 1009
    QPushButton* good = nullptr;       // 1010
    QPushButton* normal = nullptr;     // 1011
    QPushButton* bad = nullptr;        // 1012
    QPushButton* exclude = nullptr;    // 1014
    QComboBox* moods = nullptr;        // 1006
    QSlider* position = nullptr;       // 1008
    QPushButton* skip = nullptr;       // 1001
    QPushButton* pause = nullptr;      // 1013
    QSlider* volume = nullptr;         // 1017
    QLabel* libraryStatus = nullptr;   // 1042
    QLabel* artist = nullptr;          // 1036
    QLabel* track = nullptr;           // 1037
    QLabel* album = nullptr;           // 1038
    QLabel* year = nullptr;            // 1039
    QLabel* genre = nullptr;           // 1040
    QPushButton* edit = nullptr;       // 1085
    QCheckBox* download = nullptr;     // 1043
    QLabel* downloadStatus = nullptr;  // 1045
};

// Creates every control with its ID as objectName and its text; layout goes under the menu
// bar. Colours: light dialog face, darker message boxes.
MainWindowControls BuildMainWindowControls(QDialog* window, QVBoxLayout* layout,
                                           const std::function<QString(int)>& text);

// Adds the items of a resource menu; each command item carries its ID as objectName and
// calls onCommand(ID) in the context of receiver.
void FillMenu(QMenu* menu, const std::vector<MenuItemDef>& items, QObject* receiver,
              const std::function<void(int)>& onCommand);
