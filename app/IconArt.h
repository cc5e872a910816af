#pragma once
// The program's icon, drawn at any size: the window, the tray and the installed theme icons.

#include <QImage>

QImage DrawSonveraIcon(int size);
