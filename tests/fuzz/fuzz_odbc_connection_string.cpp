// The SQL Server ODBC connection string from arbitrary field values.
//
// Property: the string, as the driver receives it (UTF-16), parses back by the
// ODBC rules (keyword=value;..., a braced value ends at a "}" not doubled) into
// exactly the keys given, each with the value given.
#include "FuzzCheck.h"

#include "core/Error.h"
#include "core/AsciiText.h"
#include "core/TextCodec.h"
#include "db/sqlserver/SqlServerDriver.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

using fuzz::Require;

namespace {

using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

std::optional<Pairs> Parse(const std::u16string& s)
{
    Pairs out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t eq = s.find(u'=', i);
        if (eq == std::u16string::npos)
            return std::nullopt;
        std::u16string key = s.substr(i, eq - i), value;
        if (key.empty() || key.find_first_of(u";{}") != std::u16string::npos)
            return std::nullopt;
        i = eq + 1;
        if (i < s.size() && s[i] == u'{') {
            for (++i;; ++i) {
                if (i >= s.size())
                    return std::nullopt;  // unclosed brace
                if (s[i] == u'}') {
                    if (i + 1 < s.size() && s[i + 1] == u'}') {
                        value += u'}';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i];
            }
            if (i < s.size() && s[i] != u';')
                return std::nullopt;  // text after a closing brace
        } else {
            const size_t end = std::min(s.find(u';', i), s.size());
            value = s.substr(i, end - i);
            if (value.find_first_of(u"{}") != std::u16string::npos)
                return std::nullopt;
            i = end;
        }
        out.emplace_back(key, value);
        if (i < s.size())
            ++i;  // the ";"
    }
    return out;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

bool Plain(const std::string& s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    return fuzz::StrictUtf8ToUtf16(s).has_value();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const auto& drivers = brivel::db::SqlServerDriverNames();
    const std::string driver = drivers[in.ConsumeIntegralInRange<size_t>(0, drivers.size() - 1)];
    const bool osAuth = in.ConsumeBool();
    std::string server = in.ConsumeRandomLengthString(40), port = in.ConsumeRandomLengthString(8),
                database = in.ConsumeRandomLengthString(40), user = in.ConsumeRandomLengthString(40),
                password = in.ConsumeRandomLengthString(40);

    brivel::ConnectionDefinition def;
    def.set("Server", server);
    def.set("Port", port);
    def.set("Database", database);
    def.set("User_Name", user);
    def.set("Password", password);
    if (osAuth)
        def.set("OSAuthent", "Yes");

    std::u16string wide;
    try {
        wide = brivel::Utf8ToUtf16(brivel::db::SqlServerConnectionString(driver, def));
    } catch (const brivel::Error&) {
        Require(!(Plain(server) && Plain(port) && Plain(database) && Plain(user) && Plain(password)),
                "plain values refused");
        return 0;
    }
    const auto parsed = Parse(wide);
    Require(parsed.has_value(), "the connection string does not parse");

    // What each value should be, as UTF-16; nullopt where the input is not valid UTF-8.
    auto w = [](const std::string& s) { return fuzz::StrictUtf8ToUtf16(s); };
    const std::string host = brivel::TrimControl(server), portText = brivel::TrimControl(port);
    std::vector<std::pair<std::u16string, std::optional<std::u16string>>> expected;
    expected.emplace_back(u"DRIVER", Ascii(driver));
    expected.emplace_back(u"SERVER", w(host));
    if (!portText.empty()) {
        expected.emplace_back(u"PORT", w(portText));
        expected.emplace_back(u"ADDRESS", w(host + "," + portText));
    }
    if (!database.empty())
        expected.emplace_back(u"DATABASE", w(database));
    if (osAuth) {
        expected.emplace_back(u"Trusted_Connection", u"Yes");
    } else {
        if (!user.empty())
            expected.emplace_back(u"UID", w(user));
        if (!password.empty())
            expected.emplace_back(u"PWD", w(password));
        expected.emplace_back(u"Trusted_Connection", u"No");
    }
    if (driver == "ODBC Driver 18 for SQL Server")
        expected.emplace_back(u"Encrypt", u"no");

    Require(parsed->size() == expected.size(), "keys added or lost in the connection string");
    for (size_t i = 0; i < expected.size(); ++i) {
        Require((*parsed)[i].first == expected[i].first, "keys added or lost in the connection string");
        if (expected[i].second)
            Require((*parsed)[i].second == *expected[i].second, "a value changed in the connection string");
    }
    return 0;
}
