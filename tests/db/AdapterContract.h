#pragma once
// What every adapter promises through db::Connection, written once as cases that
// a runner calls with a small context per kind: Qt Test on Linux
// (test_adapter_contract.cpp), the Windows runner under Wine
// (tests/windows/test_adapter_contract.cpp). Qt-free, checked with support/Check.h.
#include "core/DbKind.h"
#include "db/Connection.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brivel::contract {

// What a kind's CREATE TABLE does inside a transaction, as the installation relies on it.
struct DdlFacts {
    bool transactional = false;    // a rollback undoes it
    bool committedEachTable = false;  // the installation commits right after each one
};
DdlFacts DdlFactsOf(TTipoBanco kind);

// A statement held up until cancelled, and what holds it up.
struct Held {
    std::string statement;
    std::shared_ptr<db::Connection> holder;  // the session keeping the lock, if any
};

// One kind, reached as the connection page reaches it, with a fresh database.
struct KindContext {
    TTipoBanco kind = tbPostgreSQL;
    DdlFacts ddl;
    std::string password;          // the right one
    std::string refusal;           // the server's words for a wrong password; empty: no login
    std::string from;              // what a one-row SELECT needs after its select list
    std::string nullValue = "NULL";  // a NULL the kind can describe in a select list
    // A new connection to the fresh database with `password`, defined, not open.
    std::function<std::unique_ptr<db::Connection>(const std::string& password)> connect;
    // Looks at the database from outside the connection under test (the native
    // client where there is one): whether table `name` exists, how many rows it has,
    // and the text of column NOME in its only row.
    std::function<bool(const std::string& name)> tableExists;
    std::function<long long(const std::string& table)> rows;
    std::function<std::string(const std::string& table)> storedText;
    bool comparesText = true;      // false: a stand-in that does not compare values
    std::string exactly;           // what makes "=" tell accented letters apart (a collation)
    bool isolatesSessions = true;  // false: a stand-in whose sessions see each other's pending rows
    std::string missingTable;      // the server's words for a missing table, when not its name
    // Makes a statement wait (inside the transaction `tested` started) until it is
    // cancelled. Unset: an UPDATE of a row that a second session keeps locked.
    std::function<Held(db::Connection& tested)> hold;
};

struct ContractCase {
    const char* name;
    void (*run)(KindContext&);
    bool waits = false;  // needs a statement that waits for the server (see hold)
};
const std::vector<ContractCase>& ContractCases();

// The text of NOME in the last "INSERT INTO <table> (NOME) VALUES ('...')" of a
// stand-in's log: what reached the library, where the stand-in keeps no values.
std::string TextOfLoggedInsert(const std::string& log, const std::string& table);

// The text the contract stores and looks for.
inline const std::string kPortugueseText = "Instalação – configuração €";

} // namespace brivel::contract
