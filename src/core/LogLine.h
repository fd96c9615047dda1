#pragma once
#include <string>

namespace brivel {

struct LocalDateTime {
    int year, month, day, hour, minute, second;
};

LocalDateTime CurrentLocalDateTime();

// "dd/mm/yyyy hh:nn:ss - message" with the given separators in place of "/" and ":".
std::string FormatLogLine(const LocalDateTime& t, const std::string& dateSep, const std::string& timeSep,
                          const std::string& message);

} // namespace brivel
