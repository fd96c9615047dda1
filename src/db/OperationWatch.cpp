#include "db/OperationWatch.h"

#include <algorithm>

namespace brivel::db {

Cancelled::Cancelled() : Error("Operação cancelada pelo usuário.") {}

std::string NoAnswerMessage(std::chrono::milliseconds bound)
{
    const long long seconds = std::max<long long>(1, (bound.count() + 500) / 1000);
    return "O servidor não respondeu em " + std::to_string(seconds) + (seconds == 1 ? " segundo" : " segundos") +
           "; o comando foi cancelado.";
}

OperationWatch::OperationWatch() = default;

OperationWatch::~OperationWatch()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void OperationWatch::setBound(std::chrono::milliseconds bound)
{
    std::lock_guard lock(mutex_);
    bound_ = bound;
}

std::chrono::milliseconds OperationWatch::bound() const
{
    std::lock_guard lock(mutex_);
    return bound_;
}

void OperationWatch::requestCancel() noexcept
{
    {
        std::lock_guard lock(mutex_);
        cancelRequested_ = true;
    }
    wake_.notify_all();
}

void OperationWatch::clearCancel() noexcept
{
    std::lock_guard lock(mutex_);
    cancelRequested_ = false;
}

bool OperationWatch::cancelRequested() const noexcept
{
    std::lock_guard lock(mutex_);
    return cancelRequested_;
}

bool OperationWatch::busy() const noexcept
{
    std::lock_guard lock(mutex_);
    return running_;
}

void OperationWatch::fire(const std::shared_ptr<Canceller>& canceller, std::uint64_t operation)
{
    if (!canceller)
        return;
    // The library's cancel may wait on the network (a second connection to the
    // server): off this thread, so the connection can still be cut after the grace.
    // Sent only while its operation runs; the operation's end waits for it.
    auto send = [canceller, sending = sending_, operation] {
        {
            std::lock_guard lock(sending->mutex);
            if (sending->operation != operation)
                return;
            ++sending->inFlight;
        }
        canceller->cancel();
        {
            std::lock_guard lock(sending->mutex);
            --sending->inFlight;
        }
        sending->done.notify_all();
    };
    try {
        std::thread(send).detach();
    } catch (const std::system_error&) {
        send();
    }
}

void OperationWatch::loop()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (!running_) {
            wake_.wait(lock);
            continue;
        }
        const std::uint64_t operation = operation_;
        const auto still = [&] { return !stop_ && running_ && operation_ == operation; };
        const auto userCancel = [&] { return honourCancel_ && cancelRequested_; };
        const bool triggered =
            wake_.wait_until(lock, deadline_, [&] { return !still() || userCancel(); }) ? userCancel() : true;
        if (!still() || !triggered)
            continue;
        reason_ = userCancel() ? Reason::User : Reason::Timeout;
        const std::shared_ptr<Canceller> canceller = canceller_;
        // A cancel that reached the server before the statement did is lost: it is
        // sent again until the grace is over, then the connection is cut.
        const auto cutAt = std::chrono::steady_clock::now() + std::min(kCancelGrace, bound_);
        do
            fire(canceller, operation);
        while (!wake_.wait_for(lock, kCancelRepeat, [&] { return !still(); }) &&
               std::chrono::steady_clock::now() < cutAt);
        // abort() never waits; it runs under the lock, so the connection is still the operation's.
        while (still()) {
            if (canceller)
                canceller->abort();
            wake_.wait_for(lock, kCancelGrace, [&] { return !still(); });
        }
    }
}

OperationWatch::Scope::Scope(OperationWatch& watch, std::shared_ptr<Canceller> canceller, bool honourCancel)
    : watch_(watch), canceller_(std::move(canceller))
{
    if (canceller_)
        canceller_->arm();
    {
        std::lock_guard lock(watch_.mutex_);
        if (honourCancel && watch_.cancelRequested_) {
            ended_ = true;
            reason_ = Reason::User;
            throw Cancelled();
        }
        ++watch_.operation_;
        {
            std::lock_guard sendingLock(watch_.sending_->mutex);
            watch_.sending_->operation = watch_.operation_;
        }
        watch_.running_ = true;
        watch_.honourCancel_ = honourCancel;
        watch_.deadline_ = std::chrono::steady_clock::now() + watch_.bound_;
        watch_.canceller_ = canceller_;
        watch_.reason_ = Reason::None;
        if (!watch_.thread_.joinable())
            watch_.thread_ = std::thread([w = &watch_] { w->loop(); });
    }
    watch_.wake_.notify_all();
}

OperationWatch::Reason OperationWatch::Scope::end() noexcept
{
    if (ended_)
        return reason_;
    ended_ = true;
    {
        std::lock_guard lock(watch_.mutex_);
        watch_.running_ = false;
        watch_.canceller_.reset();
        reason_ = watch_.reason_;
        watch_.reason_ = Reason::None;
    }
    watch_.wake_.notify_all();
    {
        // A cancel already on its way must land before the next operation starts,
        // or it stops that one instead; one not yet sent is dropped. Bounded: a
        // frozen server may hold the cancel's own connection.
        const std::shared_ptr<Sending> sending = watch_.sending_;
        std::unique_lock lock(sending->mutex);
        sending->operation = 0;
        sending->done.wait_for(lock, kCancelSettle, [&] { return sending->inFlight == 0; });
    }
    return reason_;
}

std::string OperationWatch::Scope::cancelledText() const
{
    std::string text = reason_ == Reason::User ? Cancelled().what() : NoAnswerMessage(watch_.bound());
    if (canceller_ && !canceller_->unavailable().empty())
        text += " " + canceller_->unavailable();
    return text;
}

} // namespace brivel::db
