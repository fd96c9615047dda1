#pragma once
#include "core/Error.h"
#include "db/DbAdapter.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace brivel::db {

// How long one statement, commit, rollback or existence query may wait for the
// server once connected. A server that stopped answering (or a lock that is never
// released) then gets the operation cancelled instead of hanging the wizard.
inline constexpr std::chrono::milliseconds kServerAnswerBound{std::chrono::seconds(60)};
// After a cancel, how long the server gets to take it before the connection is cut.
inline constexpr std::chrono::milliseconds kCancelGrace{std::chrono::seconds(5)};
// Within the grace, the cancel is sent again this often.
inline constexpr std::chrono::milliseconds kCancelRepeat{std::chrono::seconds(1)};
// How long the end of an operation waits for a cancel still on its way to the
// server, so that it cannot reach the next statement (a rollback, the undo).
inline constexpr std::chrono::milliseconds kCancelSettle{std::chrono::seconds(3)};

// An operation stopped at the user's request; its message says so.
class Cancelled : public Error {
public:
    Cancelled();
};

// "O servidor não respondeu em 60 segundos; o comando foi cancelado."
std::string NoAnswerMessage(std::chrono::milliseconds bound);

// Watches the connection's operations from a thread of its own: cancels the one
// running when it outlives the bound or when the user asks, and cuts the
// connection when even the cancel is not taken.
class OperationWatch {
public:
    OperationWatch();
    ~OperationWatch();
    OperationWatch(const OperationWatch&) = delete;
    OperationWatch& operator=(const OperationWatch&) = delete;

    void setBound(std::chrono::milliseconds bound);
    std::chrono::milliseconds bound() const;

    // From any thread, returns at once: the running operation is cancelled, and
    // every later one that honours the request fails before it starts, until clearCancel().
    void requestCancel() noexcept;
    void clearCancel() noexcept;
    bool cancelRequested() const noexcept;
    bool busy() const noexcept;

    enum class Reason { None, User, Timeout };

    // One operation on the working thread, from construction to end().
    class Scope {
    public:
        // Throws Cancelled when `honourCancel` and a cancel is pending.
        Scope(OperationWatch& watch, std::shared_ptr<Canceller> canceller, bool honourCancel);
        ~Scope() { end(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        // Why the operation was cancelled, if it was; ends the watch of it.
        Reason end() noexcept;
        // What a failure of the operation is reported as, when it was cancelled.
        std::string cancelledText() const;

    private:
        OperationWatch& watch_;
        std::shared_ptr<Canceller> canceller_;
        bool ended_ = false;
        Reason reason_ = Reason::None;
    };

private:
    // Shared with the threads that send cancels, which may outlive the watch.
    struct Sending {
        std::mutex mutex;
        std::condition_variable done;
        std::uint64_t operation = 0;  // the one cancels may still be sent for; 0: none
        int inFlight = 0;
    };

    void loop();
    void fire(const std::shared_ptr<Canceller>& canceller, std::uint64_t operation);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    std::chrono::milliseconds bound_ = kServerAnswerBound;
    bool stop_ = false;
    bool cancelRequested_ = false;
    bool running_ = false;
    bool honourCancel_ = false;
    std::uint64_t operation_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::shared_ptr<Canceller> canceller_;
    Reason reason_ = Reason::None;
    std::shared_ptr<Sending> sending_ = std::make_shared<Sending>();
};

} // namespace brivel::db
