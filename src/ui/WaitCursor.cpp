#include "ui/WaitCursor.h"

#include <QApplication>
#include <QCursor>
#include <QThread>

namespace brivel::ui {

WaitCursor::WaitCursor()
{
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(50);
    QObject::connect(&hideTimer_, &QTimer::timeout, [this] { restore(); });
}

WaitCursor::~WaitCursor() { restore(); }

bool WaitCursor::elsewhere(void (WaitCursor::*call)())
{
    // The layer works on the database thread; the pointer belongs to the window's.
    if (QThread::currentThread() == hideTimer_.thread())
        return false;
    QMetaObject::invokeMethod(&hideTimer_, [this, call] { (this->*call)(); }, Qt::QueuedConnection);
    return true;
}

void WaitCursor::busyBegin()
{
    if (elsewhere(&WaitCursor::busyBegin))
        return;
    ++depth_;
    hideTimer_.stop();
    if (!shown_) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        shown_ = true;
    }
}

void WaitCursor::busyEnd()
{
    if (elsewhere(&WaitCursor::busyEnd))
        return;
    if (depth_ > 0 && --depth_ == 0)
        hideTimer_.start();
}

void WaitCursor::restore()
{
    if (shown_ && depth_ == 0) {
        QApplication::restoreOverrideCursor();
        shown_ = false;
    }
}

} // namespace brivel::ui
