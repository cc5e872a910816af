#pragma once
// The about box (template 152), made anew for each use and freed when closed. Main thread.

#include <QDialog>

#include "windows/DialogText.h"

class CSonveraAbout : public QDialog {
    Q_OBJECT
public:
    CSonveraAbout(const DialogTextLoader& text, const QString& versionText,
                  QWidget* parent = nullptr);
    // Creates a modeless box without parent, shows it and brings it to the front.
    static CSonveraAbout* Open(const DialogTextLoader& text, const QString& versionText);
};
