#pragma once
#include "core/ConnectionDefinition.h"

#include <functional>
#include <memory>
#include <string>

namespace brivel::db {

// Interrupts, from another thread, what an adapter's connection is doing. Made by
// the adapter's open(); a call after the adapter closed does nothing.
class Canceller {
public:
    virtual ~Canceller() = default;
    // Asks the server to stop the statement, commit or query running now, through
    // the client library's own means. May wait on the network; never throws.
    virtual void cancel() noexcept = 0;
    // Cuts the client side of the connection when the server does not even take the
    // cancel (it stopped answering). Never waits. Default: not possible.
    virtual void abort() noexcept {}
    // Run on the working thread right before each operation.
    virtual void arm() noexcept {}
    // Empty, or why this library cannot cancel (an old library without the function).
    virtual std::string unavailable() const { return {}; }
};

// queryInt's texts where the answer holds no number.
inline std::string MissingColumnText(const std::string& column)
{
    return "A consulta não retornou a coluna " + column + ".";
}
inline std::string NoRowText() { return "A consulta não retornou nenhuma linha."; }
inline std::string NullValueText(const std::string& column)
{
    return "A coluna " + column + " da consulta veio nula.";
}

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
    // Where there is no number to return, the same on every kind: a result without
    // that column, no row and a NULL value each throw Error with MissingColumnText,
    // NoRowText and NullValueText below. A NULL is never read as 0: callers count.
    virtual long long queryInt(const std::string& sql, const std::string& value, const std::string& column) = 0;

    // The canceller of the open connection; null when closed or when the kind has none.
    virtual std::shared_ptr<Canceller> canceller() const { return nullptr; }

    // Asked, from the working thread, while open() waits for the server: an adapter
    // whose library can stop a connect part-way gives up (and throws) once it says true.
    void setConnectCancel(std::function<bool()> cancelled) { connectCancelled_ = std::move(cancelled); }

protected:
    bool connectCancelled() const { return connectCancelled_ && connectCancelled_(); }

private:
    std::function<bool()> connectCancelled_;
};

} // namespace brivel::db
