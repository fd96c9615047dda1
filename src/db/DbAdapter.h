#pragma once
#include "core/ConnectionDefinition.h"

#include <string>

namespace brivel::db {

// One database kind over its client library. Every failure throws brivel::Error
// carrying the server's or library's own text, never the password.
class DbAdapter {
public:
    virtual ~DbAdapter() = default;

    // Connects with the definition's parameters (names as in ConnectionDefinition).
    virtual void open(const ConnectionDefinition& def) = 0;
    // Disconnects; safe on a closed adapter; never throws.
    virtual void close() noexcept = 0;
    virtual bool isOpen() const = 0;

    // Runs one statement without parameters and without a result set.
    virtual void execute(const std::string& sql) = 0;

    virtual void startTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;

    // The text this library binds a single parameter with: "?", "$1", ":TABELA".
    virtual std::string parameterMarker(const std::string& name) const = 0;
    // Runs `sql` (one parameter, already written with parameterMarker) with `value`
    // bound as text and returns column `column` (case-insensitive) of the first row.
    virtual long long queryInt(const std::string& sql, const std::string& value, const std::string& column) = 0;
};

} // namespace brivel::db
