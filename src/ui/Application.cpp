#include "ui/Application.h"

#include "ui/MessageBoxes.h"
#include "ui/TextConv.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

namespace brivel::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    // Qt's own texts (file dialogs, the text areas' context menu, the buttons of
    // a question) in Brazilian Portuguese like everything else: the translation
    // shipped in the program's folder (Windows), else the system's Qt translations.
    auto* translator = new QTranslator(this);
    const QString name = QStringLiteral("qtbase_pt_BR");
    const QString folder = applicationDirPath();
    if (translator->load(name, folder + QStringLiteral("/translations")) || translator->load(name, folder) ||
        translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        delete translator;
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowTopLevelError(Q(e.what()));
    } catch (...) {
        ShowTopLevelError(QStringLiteral("Erro desconhecido"));
    }
    return false;
}

} // namespace brivel::ui
