#include "ui/Application.h"

#include "ui/MessageBoxes.h"
#include "ui/TextConv.h"

#include <QLocale>
#include <QTranslator>
#include <exception>

namespace brivel::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    // Qt's own texts (standard buttons, file dialogs) in Portuguese, where the
    // program's folder carries Qt's translation (the Windows folder does).
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"), QStringLiteral("_"),
                      applicationDirPath() + QStringLiteral("/translations")))
        installTranslator(qtTexts);
    else
        delete qtTexts;
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
