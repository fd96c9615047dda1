#pragma once
#include "flow/InstallFlow.h"

#include <nlohmann/json.hpp>
#include <string>

namespace brivel::cli {

// Log lines on standard error as they happen, with the wizard's date and time
// prefix; errors always, everything else unless --silencioso. With --json, one
// object on standard output at the end.
class Report : public InstallLog {
public:
    Report(bool silent, bool json) : silent_(silent), json_(json) {}

    void line(const std::string& msg) override;  // a log line
    void warning(const std::string& msg);        // shown unless silent, no prefix
    void error(const std::string& msg);          // always shown, no prefix

    nlohmann::json& data() { return data_; }
    // Prints the JSON object when asked for, with the exit code; returns the code.
    int finish(int exitCode);

private:
    bool silent_;
    bool json_;
    nlohmann::json data_ = nlohmann::json::object();
};

} // namespace brivel::cli
