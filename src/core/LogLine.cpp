#include "core/LogLine.h"

#include <cstdio>
#include <ctime>

namespace brivel {

LocalDateTime CurrentLocalDateTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string FormatLogLine(const LocalDateTime& t, const std::string& dateSep, const std::string& timeSep,
                          const std::string& message)
{
    auto two = [](int v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02d", v);
        return std::string(buf);
    };
    char year[8];
    std::snprintf(year, sizeof year, "%04d", t.year);
    return two(t.day) + dateSep + two(t.month) + dateSep + year + " " + two(t.hour) + timeSep + two(t.minute) +
           timeSep + two(t.second) + " - " + message;
}

} // namespace brivel
