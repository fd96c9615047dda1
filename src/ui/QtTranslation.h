#pragma once
#include <QString>

namespace brivel::ui {

// The folder of Qt's Portuguese translation (qtbase_pt_BR.qm): shipped in the
// program's "translations" folder on Windows (the Qt the program was built with is
// not on the user's machine), the system's Qt translations elsewhere.
QString QtTranslationFolder();

// Installs Qt's Portuguese translation into the application so Qt's own texts
// (file dialogs, the text areas' context menu, the buttons of a question) are in
// Brazilian Portuguese like everything else. Only the first call reads the file;
// false when it is not there (Qt's texts then stay in English). A dialog that sets
// texts of its own on Qt's standard buttons calls it before it is built: installed
// later, the translation puts Qt's texts back over them.
bool LoadQtTranslation();

// Whether Qt's texts come translated (a translation is installed).
bool QtTextsTranslated();

} // namespace brivel::ui
