#include "db/sqlserver/SqlServerDriver.h"

#include "core/Error.h"
#include "core/LocalClients.h"
#include "core/AsciiText.h"

#include <algorithm>

namespace brivel::db {

namespace {
bool PlainValue(const std::string& v)
{
    return !v.empty() && std::all_of(v.begin(), v.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '-' || c == ',';
    });
}
} // namespace

const std::vector<std::string>& SqlServerDriverNames()
{
    static const std::vector<std::string> names = {
        "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server", "SQL Server Native Client 11.0",
        "ODBC Driver 13 for SQL Server", "ODBC Driver 11 for SQL Server", "SQL Server Native Client 10.0",
        "SQL Native Client",             "SQL Server",
    };
    return names;
}

std::string ChooseSqlServerDriver(const std::vector<std::string>& installed)
{
    for (const auto& wanted : SqlServerDriverNames()) {
        const std::string key = UpperAscii(wanted);
        for (const auto& name : installed)
            if (UpperAscii(name) == key)
                return name;
    }
    std::string list;
    for (const auto& wanted : SqlServerDriverNames())
        list += (list.empty() ? "" : ", ") + wanted;
    throw Error("Nenhum driver ODBC do SQL Server está instalado.\nProcurados, nesta ordem: " + list +
                ".\nInstale o Microsoft ODBC Driver for SQL Server " + ClientArchitectureText() + ".");
}

std::string OdbcValue(const std::string& value)
{
    if (PlainValue(value))
        return value;
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}')
            out += '}';
    }
    return out + "}";
}

std::string SqlServerConnectionString(const std::string& driver, const ConnectionDefinition& def)
{
    // Host and port. Microsoft's drivers take the port only as "host,port" and
    // ignore keywords they do not know (PORT among them); ADDRESS, when given,
    // is where they connect, in preference to SERVER. Other ODBC drivers (the
    // PostgreSQL one that stands in for SQL Server in the tests) read SERVER and
    // PORT and ignore ADDRESS. So SERVER carries the bare host, PORT the port,
    // and ADDRESS "host,port" for Microsoft's drivers.
    //
    // Values are braced only when they need it: for a conforming parser {x} and
    // x are the same value, while psqlodbc strips braces from PWD alone.
    // Blanks typed around a host name or port are never part of it.
    const std::string server = TrimControl(def.value("Server"));
    const std::string port = TrimControl(def.value("Port"));
    std::string s = "DRIVER={" + driver + "}";
    s += ";SERVER=" + OdbcValue(server);
    if (!port.empty()) {
        s += ";PORT=" + OdbcValue(port);
        s += ";ADDRESS=" + OdbcValue(server + "," + port);
    }
    if (def.has("Database"))
        s += ";DATABASE=" + OdbcValue(def.value("Database"));
    if (UpperAscii(def.value("OSAuthent")) == "YES") {
        s += ";Trusted_Connection=Yes";
    } else {
        if (def.has("User_Name"))
            s += ";UID=" + OdbcValue(def.value("User_Name"));
        if (def.has("Password"))
            s += ";PWD=" + OdbcValue(def.value("Password"));
        s += ";Trusted_Connection=No";
    }
    // Driver 18 encrypts by default and then refuses the self-signed certificates
    // most on-premises servers have; ask for what earlier drivers did by default.
    if (UpperAscii(driver) == "ODBC DRIVER 18 FOR SQL SERVER")
        s += ";Encrypt=no";
    return s;
}

} // namespace brivel::db
