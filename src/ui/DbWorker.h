#pragma once
#include <QThread>
#include <functional>

namespace brivel::ui {

// The one thread that does the window's database work. While a job runs there,
// the window's thread waits in an event loop: it repaints, shows the log lines as
// they come and takes the few inputs the operation lets through.
class DbWorker {
public:
    DbWorker();
    ~DbWorker();
    DbWorker(const DbWorker&) = delete;
    DbWorker& operator=(const DbWorker&) = delete;

    // Runs `job` on the worker and returns once it has ended; what it throws is
    // thrown again here. Called on the window's thread.
    void run(const std::function<void()>& job);
    bool running() const { return running_; }

private:
    QThread thread_;
    QObject* context_;  // lives on thread_: jobs are delivered to it
    bool running_ = false;
};

} // namespace brivel::ui
