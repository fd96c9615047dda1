#include "ui/DbWorker.h"

#include <QEventLoop>
#include <exception>

namespace brivel::ui {

DbWorker::DbWorker() : context_(new QObject)
{
    thread_.setObjectName(QStringLiteral("brivel-db"));
    context_->moveToThread(&thread_);
}

DbWorker::~DbWorker()
{
    thread_.quit();
    thread_.wait();
    delete context_;
}

void DbWorker::run(const std::function<void()>& job)
{
    std::exception_ptr error;
    bool done = false;
    QEventLoop loop;
    // Started by the first job, not with the window: start-up does not pay for it.
    if (!thread_.isRunning())
        thread_.start();
    running_ = true;
    QMetaObject::invokeMethod(
        context_,
        [&] {
            try {
                job();
            } catch (...) {
                error = std::current_exception();
            }
            // Posted after every log line the job sent, so those are shown first.
            QMetaObject::invokeMethod(
                &loop,
                [&] {
                    done = true;
                    loop.quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    while (!done)
        loop.exec();
    running_ = false;
    if (error)
        std::rethrow_exception(error);
}

} // namespace brivel::ui
