#pragma once
#include <string>

namespace brivel::db {

// The string isc_attach_database receives: "host/port:database", or the database
// alone without a server. Throws brivel::Error for a server or port that the
// string cannot carry without changing what it names.
std::string FirebirdAttachString(const std::string& server, const std::string& port, const std::string& database);

// The attach parameter block (version 1): user, password, character set and the
// connect timeout. Throws brivel::Error for an item longer than 255 bytes.
std::string FirebirdAttachParameters(const std::string& user, const std::string& password,
                                     const std::string& charset);

} // namespace brivel::db
