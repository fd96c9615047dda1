// The Firebird attach string ("host/port:database") and attach parameter block
// from arbitrary field values.
//
// Property: both parse back into exactly what was given: host, port and database;
// the user, password and character set items and nothing else but the fixed ones.
#include "FuzzCheck.h"

#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "db/firebird/FirebirdAdapter.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <ibase.h>

#include <cstdint>

using fuzz::Require;

namespace {

void CheckAttachString(const std::string& server, const std::string& port, const std::string& database)
{
    std::string target;
    try {
        target = brivel::db::FirebirdAttachString(server, port, database);
    } catch (const brivel::Error&) {
        return;  // refusing is always allowed; what is accepted must be exact
    }
    const std::string host = brivel::Trimmed(server), path = brivel::Trimmed(database);
    Require(!path.empty(), "an empty database accepted");
    for (char c : path)
        Require(static_cast<unsigned char>(c) >= 0x20, "a control character in the database accepted");
    if (host.empty()) {
        Require(target == path, "the database alone changed");
        return;
    }
    // host: a bracketed IPv6 address or a name without "/", ":" or blanks.
    size_t hostEnd;
    if (target[0] == '[') {
        hostEnd = target.find(']');
        Require(hostEnd != std::string::npos, "an unclosed bracket in the host");
        ++hostEnd;
    } else {
        hostEnd = target.find_first_of("/:");
        Require(hostEnd != std::string::npos, "no port separator");
    }
    Require(target.substr(0, hostEnd) == host, "the host changed");
    for (char c : host.substr(host[0] == '[' ? host.size() : 0))
        Require(c != '/' && c != ':' && c != '\\' && c != '@' && static_cast<unsigned char>(c) > 32,
                "a host holding a separator accepted");
    Require(hostEnd < target.size() && target[hostEnd] == '/', "no port after the host");
    const size_t colon = target.find(':', hostEnd);
    Require(colon != std::string::npos, "no database after the port");
    const std::string portDigits = target.substr(hostEnd + 1, colon - hostEnd - 1);
    Require(!portDigits.empty() && portDigits.find_first_not_of("0123456789") == std::string::npos,
            "the port is not a number");
    const long long number = std::stoll(portDigits);
    const std::string portText = brivel::Trimmed(port);
    Require(number >= 1 && number <= 65535, "a port out of range");
    Require(portText.empty() ? number == 3050 : number == brivel::PortNumber(portText), "the port changed");
    Require(target.substr(colon + 1) == path, "the database changed");
}

void CheckParameters(const std::string& user, const std::string& password, const std::string& charset)
{
    auto fits = [](const std::string& s) { return s.size() <= 255 && s.find('\0') == std::string::npos; };
    std::string dpb;
    try {
        dpb = brivel::db::FirebirdAttachParameters(user, password, charset);
    } catch (const brivel::Error&) {
        Require(!(fits(user) && fits(password) && fits(charset)), "items that fit were refused");
        return;
    }
    Require(fits(user) && fits(password) && fits(charset), "an item that cannot be sent was accepted");
    Require(!dpb.empty() && dpb[0] == isc_dpb_version1, "not a version 1 block");
    std::vector<std::pair<int, std::string>> items;
    for (size_t i = 1; i < dpb.size();) {
        Require(i + 1 < dpb.size(), "an item without length");
        const int tag = static_cast<unsigned char>(dpb[i]);
        const size_t length = static_cast<unsigned char>(dpb[i + 1]);
        Require(i + 2 + length <= dpb.size(), "an item longer than the block");
        items.emplace_back(tag, dpb.substr(i + 2, length));
        i += 2 + length;
    }
    std::vector<std::pair<int, std::string>> expected{{isc_dpb_utf8_filename, ""}};
    if (!user.empty())
        expected.emplace_back(isc_dpb_user_name, user);
    if (!password.empty())
        expected.emplace_back(isc_dpb_password, password);
    if (!charset.empty())
        expected.emplace_back(isc_dpb_lc_ctype, charset);
    Require(!items.empty() && items.back().first == isc_dpb_connect_timeout && items.back().second.size() == 4,
            "no connect timeout at the end of the block");
    items.pop_back();
    Require(items == expected, "the parameter block holds other items than given");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string server = in.ConsumeRandomLengthString(48), port = in.ConsumeRandomLengthString(12),
                      database = in.ConsumeRandomLengthString(64);
    const std::string user = in.ConsumeRandomLengthString(300), password = in.ConsumeRandomLengthString(300),
                      charset = in.ConsumeRandomLengthString(16);
    CheckAttachString(server, port, database);
    CheckParameters(user, password, charset);
    return 0;
}
