#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace brivel::ui {

// While a long operation runs, the window still repaints (pending events are
// processed between its steps) but user input aimed at the window is dropped,
// not queued, so no second operation can start inside the running one (input to
// the one control allowed excepted). A close request waits until the operation has ended. Dialogs opened by the operation
// itself are separate windows and keep working.
class OperationInputBlocker : public QObject {
public:
    explicit OperationInputBlocker(QWidget* window);
    ~OperationInputBlocker() override;

    class Scope {
    public:
        explicit Scope(OperationInputBlocker& b) : b_(b) { ++b_.depth_; }
        ~Scope() { b_.leave(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        OperationInputBlocker& b_;
    };

    bool running() const { return depth_ > 0; }
    // Input aimed at `w` still goes through while an operation runs.
    void allow(QWidget* w) { allowed_ = w; }
    // A close request while running: remembered and carried out at the end.
    bool deferClose();
    int droppedInputEvents() const { return dropped_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void leave();
    QPointer<QWidget> window_;
    QPointer<QWidget> allowed_;
    int depth_ = 0;
    bool closePending_ = false;
    int dropped_ = 0;
};

} // namespace brivel::ui
