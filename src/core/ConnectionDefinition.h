#pragma once
#include <string>
#include <utility>
#include <vector>

namespace brivel {

// A driver identifier and an ordered list of named text parameters. Setting a
// known name keeps its place; a new name is appended; the empty text removes it.
class ConnectionDefinition {
public:
    using Param = std::pair<std::string, std::string>;

    void setDriverID(const std::string& id) { driverId_ = id; }
    const std::string& driverID() const { return driverId_; }

    void clear();
    void set(const std::string& name, const std::string& value);
    bool has(const std::string& name) const;
    // The value of a name, or the empty text when absent.
    std::string value(const std::string& name) const;
    const std::vector<Param>& params() const { return params_; }

    // Same driver, same parameters in the same order.
    bool operator==(const ConnectionDefinition&) const = default;

private:
    std::string driverId_;
    std::vector<Param> params_;
};

struct ConnectionFields;

// The definition of the connection page's kind. Each text is the one configApi.ini
// carries (trimmed), so the API reads back exactly what the test connected with.
ConnectionDefinition DefinitionFor(const ConnectionFields& fields);

// "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=h)(PORT=p))(CONNECT_DATA=(SERVICE_NAME=s)))"
// Throws when a piece holds "(", ")" or "=".
std::string OracleDescriptor(const std::string& host, const std::string& port, const std::string& service);

// Throws, naming the parameter and never its value, when a value holds a NUL
// (a C client library would cut it there) or is not well-formed UTF-8.
void CheckParameterTexts(const ConnectionDefinition& def);

} // namespace brivel
