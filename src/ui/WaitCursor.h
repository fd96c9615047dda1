#pragma once
#include "db/Connection.h"

#include <QTimer>

namespace brivel::ui {

// Shows the wait pointer while the database layer works and for about 50 ms
// after its last operation, so a run of quick calls does not flicker. Calls
// from another thread are carried out on the window's thread.
class WaitCursor : public db::BusyObserver {
public:
    WaitCursor();
    ~WaitCursor() override;
    void busyBegin() override;
    void busyEnd() override;
    bool showing() const { return shown_; }

private:
    void restore();
    bool elsewhere(void (WaitCursor::*call)());
    QTimer hideTimer_;
    int depth_ = 0;
    bool shown_ = false;
};

} // namespace brivel::ui
