#pragma once
#include "core/DbKind.h"

#include <string>
#include <vector>

namespace brivel {

// One table of the creation script: its statement and the columns it defines.
struct ScriptTable {
    std::string name;
    std::string statement;             // the CREATE TABLE as the installer sends it
    std::vector<std::string> columns;  // in definition order
    std::string keyColumn;             // the primary key's (first) column
};

// One seed row of the script, known by its key.
struct SeedRow {
    std::string table;
    std::string keyColumn;
    std::string key;        // the key's value as text, unquoted
    bool keyIsText = false;  // quoted in SQL
    std::string statement;  // the INSERT that adds it when its key is absent

    // "API_SEQUENCIAIS (NOME_TABELA = 'API_ROTAS')"
    std::string describe() const;
};

// The tables (creation order) and seed rows of a kind's script. A counter row
// of API_SEQUENCIAIS is inserted with the highest identifier its table holds
// (0 when empty, as the script leaves it), so that a table that already has
// rows never gets an identifier handed out twice; API_CONFIG's row goes first,
// so its counter reads 1, as after the script's own UPDATE.
struct ScriptStructure {
    std::vector<ScriptTable> tables;
    std::vector<SeedRow> seeds;
    const ScriptTable* table(const std::string& name) const;
};

ScriptStructure StructureFor(TTipoBanco kind);

// The query that counts the columns named like :COLUNA (case-insensitive) of the
// table named `table` (case-insensitive), in the scope of the kind's existence query.
std::string ColumnExistenceQuery(TTipoBanco kind, const std::string& table);

// The query that counts the rows of a seed row's key (:CHAVE), column QTD.
std::string SeedRowQuery(const SeedRow& seed);

} // namespace brivel
