#pragma once
#include <stdexcept>
#include <string>

namespace brivel {

// Every failure travels as this exception; its message is what the user sees.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace brivel
