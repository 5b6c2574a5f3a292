#pragma once
// Qt's own texts (the standard context menu of the edit boxes: Undo, Cut, Copy, Paste, Select
// All; the texts of Qt's own dialogs) in Chinese, like every caption of the program, whatever
// the session's language. The catalogue comes with Debian's qt6-translations-l10n.
#include <QString>

class QTranslator;

// Where this Qt keeps its catalogues (QLibraryInfo::TranslationsPath).
QString QtTranslationsFolder();

// Loads qtbase_zh_CN.qm from `folder` and installs it into the application object, which owns
// it. Returns the installed translator, or nullptr (nothing changed) when the catalogue is
// missing or unreadable: Qt's texts then stay English and the program runs on.
QTranslator* InstallQtTranslations(const QString& folder = QtTranslationsFolder());
