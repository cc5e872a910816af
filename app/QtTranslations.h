#pragma once
// Qt's own texts (standard dialogs and buttons: the folder dialog, Yes, No, OK) in the
// interface language. Main thread, once the application object exists.

class QTranslator;

// Installs Qt's translation for the language on the application, which owns it; nothing for
// English or where none is installed.
QTranslator* InstallQtTranslations(int language);
