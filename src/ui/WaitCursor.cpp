#include "ui/WaitCursor.h"

#include <QApplication>
#include <QCursor>

namespace brivel::ui {

WaitCursor::WaitCursor()
{
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(50);
    QObject::connect(&hideTimer_, &QTimer::timeout, [this] { restore(); });
}

WaitCursor::~WaitCursor() { restore(); }

void WaitCursor::busyBegin()
{
    ++depth_;
    hideTimer_.stop();
    if (!shown_) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        shown_ = true;
    }
}

void WaitCursor::busyEnd()
{
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
