#include "ui/Application.h"

#include "ui/MessageBoxes.h"
#include "ui/QtTranslation.h"
#include "ui/TextConv.h"

#include <QDialog>
#include <QMenu>
#include <QTimer>
#include <exception>

namespace brivel::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool firstPaint = false;
    if (qtTexts_ != QtTexts::Loaded)
        firstPaint = awaitQtTexts(receiver, event);
    bool handled = false;
    try {
        handled = QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowTopLevelError(Q(e.what()));
    } catch (...) {
        ShowTopLevelError(QStringLiteral("Erro desconhecido"));
    }
    if (firstPaint && qtTexts_ == QtTexts::Waiting) {
        // Queued once the window has painted: after whatever its painting queued.
        qtTexts_ = QtTexts::Queued;
        QTimer::singleShot(0, this, [this] { loadQtTexts(); });
    }
    return handled;
}

// Nothing on the first page shows a text of Qt's own, and reading its
// translation would delay the first paint by a sixth: it is read in the idle time
// after the first paint, or before then as soon as Qt's texts may be made: the
// user's first key, click or context menu, or a dialog or menu shown without one
// (a box at start-up). True for the first paint of a window.
bool Application::awaitQtTexts(QObject* receiver, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
        loadQtTexts();
        break;
    case QEvent::Show:
        // A dialog already built takes the translation from the language change
        // that installing it sends, before its first paint.
        if (qobject_cast<QDialog*>(receiver) || qobject_cast<QMenu*>(receiver))
            loadQtTexts();
        break;
    case QEvent::Paint:
        return qtTexts_ == QtTexts::Waiting && receiver->isWidgetType() && static_cast<QWidget*>(receiver)->isWindow();
    default: break;
    }
    return false;
}

void Application::loadQtTexts()
{
    if (qtTexts_ == QtTexts::Loaded)
        return;
    // Set first: installing the translation sends events of its own.
    qtTexts_ = QtTexts::Loaded;
    LoadQtTranslation();
}

} // namespace brivel::ui
