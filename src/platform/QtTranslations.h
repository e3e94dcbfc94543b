#pragma once
#include <QString>

// Qt's own texts (message box buttons, the folder chooser, context menus of
// text fields) in German, whatever the system's language: the player speaks
// German only. Call once after the QApplication exists. Returns "" when the
// German texts are in place, else why not (the texts then stay English).
// UI thread only.
QString installGermanQtTexts();

// The folder the German Qt texts are looked for in.
QString qtTranslationsFolder();
