#pragma once
// Loads a string-table text in the interface language for a dialog. Main thread.

#include <QString>
#include <functional>

using DialogTextLoader = std::function<QString(int stringID)>;
