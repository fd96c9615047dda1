#include "core/ScriptStructure.h"

#include "core/InstallSteps.h"
#include "core/KindDescriptor.h"
#include "core/SchemaScript.h"
#include "core/AsciiText.h"
#include "core/StatementSplitter.h"

#include <cctype>

namespace brivel {

namespace {

std::string FirstWord(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    size_t j = i;
    while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
        ++j;
    return text.substr(i, j - i);
}

// The items of the first parenthesised list after `from`, split at top-level commas.
std::vector<std::string> ListAfter(const std::string& text, size_t from)
{
    std::vector<std::string> items;
    const size_t open = text.find('(', from);
    if (open == std::string::npos)
        return items;
    int depth = 0;
    bool quoted = false;
    std::string current;
    for (size_t i = open + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == '(')
            ++depth;
        if (!quoted && c == ')' && depth-- == 0) {
            items.push_back(TrimControl(current));
            break;
        }
        if (!quoted && c == ',' && depth == 0) {
            items.push_back(TrimControl(current));
            current.clear();
        } else {
            current += c;
        }
    }
    return items;
}

std::string Unquoted(const std::string& literal)
{
    if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'')
        return literal.substr(1, literal.size() - 2);
    return literal;
}

} // namespace

std::string SeedRow::describe() const
{
    return table + " (" + keyColumn + " = " + (keyIsText ? "'" + key + "'" : key) + ")";
}

const ScriptTable* ScriptStructure::table(const std::string& name) const
{
    for (const ScriptTable& t : tables)
        if (t.name == name)
            return &t;
    return nullptr;
}

ScriptStructure StructureFor(TTipoBanco kind)
{
    ScriptStructure s;
    std::vector<SeedRow> counters;
    for (const ScriptStatement& st : SplitStatements(ScriptFor(kind))) {
        const std::string created = CreatedTableName(st.sql);
        if (!created.empty()) {
            ScriptTable t{created, st.sql, {}, {}};
            for (const std::string& item : ListAfter(st.sql, 0)) {
                const std::string word = UpperAscii(FirstWord(item));
                if (word == "CONSTRAINT") {
                    const size_t pk = UpperAscii(item).find("PRIMARY KEY");
                    if (pk != std::string::npos && t.keyColumn.empty())
                        t.keyColumn = UpperAscii(FirstWord(ListAfter(item, pk).front()));
                } else if (!word.empty()) {
                    t.columns.push_back(word);
                }
            }
            s.tables.push_back(std::move(t));
            continue;
        }
        const std::string upper = UpperAscii(st.sql);
        if (upper.rfind("INSERT INTO ", 0) != 0)
            continue;  // the counter UPDATE: the counters below are inserted with their value
        SeedRow seed;
        seed.table = FirstWord(st.sql.substr(12));
        seed.keyColumn = UpperAscii(ListAfter(st.sql, 0).front());
        const std::string value = ListAfter(st.sql, upper.find("VALUES")).front();
        seed.keyIsText = !value.empty() && value.front() == '\'';
        seed.key = Unquoted(value);
        seed.statement = st.sql;
        (seed.table == "API_SEQUENCIAIS" ? counters : s.seeds).push_back(std::move(seed));
    }
    for (SeedRow& c : counters) {
        const ScriptTable* counted = s.table(c.key);
        if (counted && !counted->keyColumn.empty())
            c.statement = "INSERT INTO API_SEQUENCIAIS (NOME_TABELA, ULTIMO_ID) SELECT '" + c.key + "', COALESCE(MAX(" +
                          counted->keyColumn + "), 0) FROM " + counted->name;
        s.seeds.push_back(std::move(c));
    }
    return s;
}

std::string ColumnExistenceQuery(TTipoBanco kind, const std::string& table)
{
    // `table` is one of the script's own names, never user input.
    const std::string t = "'" + UpperAscii(table) + "'";
    return KindOf(kind).columnExistenceQuery(t);
}

std::string SeedRowQuery(const SeedRow& seed)
{
    return "SELECT COUNT(*) QTD FROM " + seed.table + " WHERE " + seed.keyColumn + " = :CHAVE";
}

} // namespace brivel
