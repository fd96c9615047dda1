#pragma once
#include <stdexcept>
#include <string>

namespace brivel {

// The likely cause of a failure, as the client library's codes tell it (never
// its words, which may be in any language).
enum class FailureCause {
    Unknown,
    Login,             // wrong user or password
    NothingListening,  // no server accepts connections on the host and port
    HostNotFound,      // the host name does not resolve
    Timeout,           // the server did not answer in time
    DatabaseNotFound,  // the database (or file) does not exist
    NoPrivilege,       // the user may not use the database or create tables in it
};

// Every failure travels as this exception; its message is what the user sees.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, FailureCause cause = FailureCause::Unknown)
        : std::runtime_error(message), cause_(cause)
    {
    }
    FailureCause cause() const noexcept { return cause_; }

private:
    FailureCause cause_;
};

} // namespace brivel
