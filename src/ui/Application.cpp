#include "ui/Application.h"

#include "ui/MessageBoxes.h"
#include "ui/TextConv.h"

#include <exception>

namespace brivel::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

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
