#pragma once
#include "core/DbKind.h"

#include <string>

namespace brivel {

// The query that counts tables named like :TABELA (case-insensitive), column QTD.
std::string ExistenceQuery(TTipoBanco kind);

// True where a rollback also undoes CREATE TABLE (PostgreSQL, SQLite, SQL Server).
bool DdlIsTransactional(TTipoBanco kind);

// True where a table created in a transaction is usable only once committed
// (Firebird). Kinds for which both are false commit DDL by themselves.
bool DdlNeedsCommit(TTipoBanco kind);

// The table a "CREATE TABLE name (" statement creates, or the empty text.
std::string CreatedTableName(const std::string& statement);

} // namespace brivel
