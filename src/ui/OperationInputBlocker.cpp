#include "ui/OperationInputBlocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace brivel::ui {

OperationInputBlocker::OperationInputBlocker(QWidget* window) : window_(window)
{
    QCoreApplication::instance()->installEventFilter(this);
}

OperationInputBlocker::~OperationInputBlocker()
{
    if (auto* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool OperationInputBlocker::deferClose()
{
    if (!running())
        return false;
    closePending_ = true;
    return true;
}

void OperationInputBlocker::leave()
{
    if (--depth_ > 0 || !closePending_)
        return;
    closePending_ = false;
    // After the handler has returned to the event loop.
    QTimer::singleShot(0, window_, [w = window_] {
        if (w)
            w->close();
    });
}

bool OperationInputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (depth_ == 0 || !watched->isWidgetType())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    if (static_cast<QWidget*>(watched)->window() != window_ || watched == allowed_)
        return false;
    ++dropped_;
    return true;
}

} // namespace brivel::ui
