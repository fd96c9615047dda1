#include "flow/InstallFlow.h"

#include "core/Error.h"
#include "core/InstallSteps.h"
#include "core/ScriptStructure.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"

#include <algorithm>

namespace brivel {

namespace {
// A missing table's seed rows go without saying.
std::vector<std::string> SeedsMissingInPresentTables(const StructureState& st)
{
    std::vector<std::string> out;
    for (const std::string& seed : st.seedsMissing)
        if (std::find(st.missing.begin(), st.missing.end(), seed.substr(0, seed.find(' '))) == st.missing.end())
            out.push_back(seed);
    return out;
}
} // namespace

InstallFlow::InstallFlow(db::Connection& connection, TTipoBanco kind, std::string displayName, InstallLog& log)
    : conn_(connection), kind_(kind), displayName_(std::move(displayName)), log_(log)
{
}

bool InstallFlow::tableExists(const std::string& table)
{
    return conn_.queryInt(ExistenceQuery(kind_), "TABELA", table, "QTD") > 0;
}

void InstallFlow::executeScript(const std::string& script)
{
    for (const ScriptStatement& st : SplitStatements(script)) {
        if (cancel_.load())
            throw Error("Instalação cancelada.");
        if (st.logged)
            log_.line("Executando comando...");
        conn_.execSQL(st.sql);
        const std::string created = CreatedTableName(st.sql);
        if (created.empty())
            continue;
        // Firebird: later statements of the same transaction cannot use a table
        // created in it, so each new table is committed at once (and undone by
        // undoCreatedTables should a later statement fail). Its DDL takes effect
        // at the commit: only then does the table exist.
        if (DdlNeedsCommit(kind_) && conn_.inTransaction()) {
            conn_.commit();
            created_.push_back(created);
            conn_.startTransaction();
        } else {
            created_.push_back(created);
        }
    }
}

void InstallFlow::undoCreatedTables(InstallResult& result)
{
    // Kinds whose DDL is transactional are undone by the rollback alone.
    if (DdlIsTransactional(kind_))
        return;
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
        try {
            conn_.execSQL("DROP TABLE " + *it);
            result.undone.push_back(*it);
            log_.line("Tabela " + *it + " criada nesta execução foi removida.");
        } catch (const std::exception& e) {
            result.leftBehind.insert(result.leftBehind.begin(), *it);
            log_.line("Não foi possível remover a tabela " + *it + ": " + e.what());
        }
    }
}

bool InstallFlow::columnExists(const std::string& table, const std::string& column)
{
    return conn_.queryInt(ColumnExistenceQuery(kind_, table), "COLUNA", column, "QTD") > 0;
}

StructureState InstallFlow::inspect()
{
    if (!conn_.connected())
        conn_.open();
    StructureState st;
    for (const char* table : kBrivelTables)
        (tableExists(table) ? st.found : st.missing).push_back(table);
    auto has = [&](const std::string& table) {
        return std::find(st.found.begin(), st.found.end(), table) != st.found.end();
    };
    st.configSeed = st.sequenceSeeds = true;
    for (const SeedRow& seed : StructureFor(kind_).seeds) {
        // A table without the key's column (someone else's table of the same
        // name) cannot hold the row; the completion's column check names it.
        const bool present = has(seed.table) && columnExists(seed.table, seed.keyColumn) &&
                             conn_.queryInt(SeedRowQuery(seed), "CHAVE", seed.key, "QTD") > 0;
        (present ? st.seedsFound : st.seedsMissing).push_back(seed.describe());
        (seed.table == "API_CONFIG" ? st.configSeed : st.sequenceSeeds) &= present;
    }
    return st;
}

StructureState::State StructureState::state() const
{
    if (found.empty())
        return NotInstalled;
    return missing.empty() && seedsMissing.empty() ? Installed : Partial;
}

InstallResult InstallFlow::run(bool complete)
{
    // A cancel left from an earlier run is not this run's.
    conn_.clearCancel();
    StructureState st;
    try {
        if (!conn_.connected())
            conn_.open();
        log_.line("Banco selecionado: " + displayName_);
        log_.line("Verificando estrutura existente...");
        st = inspect();
    } catch (const std::exception&) {
        if (!cancel_.load())
            throw;
        return cancelledBeforeStart();
    }
    if (st.state() == StructureState::NotInstalled)
        return install(st);
    InstallResult result;
    result.found = st.found;
    result.missing = st.missing;
    if (std::find(st.found.begin(), st.found.end(), "API_CONFIG") != st.found.end())
        log_.line("A tabela API_CONFIG já existe.");
    if (st.state() == StructureState::Installed) {
        log_.line("A estrutura aparenta já estar instalada.");
        result.outcome = InstallOutcome::AlreadyInstalled;
        return result;
    }
    // Partial: what is missing goes to the log, and nothing is reported as installed.
    log_.line("A estrutura do Brivel está incompleta neste banco.");
    log_.line("Tabelas existentes: " + JoinTables(st.found) + ".");
    if (!st.missing.empty())
        log_.line("Tabelas ausentes: " + JoinTables(st.missing) + ".");
    result.seedsMissing = SeedsMissingInPresentTables(st);
    if (!result.seedsMissing.empty())
        log_.line("Registros iniciais ausentes: " + JoinTables(result.seedsMissing) + ".");
    if (complete)
        return this->complete(st);
    result.outcome = InstallOutcome::Incomplete;
    return result;
}

// A cancel before anything was created (while connecting or looking for the
// tables) is reported as such, like one during the script.
InstallResult InstallFlow::cancelledBeforeStart()
{
    conn_.clearCancel();
    InstallResult result;
    result.outcome = InstallOutcome::Failed;
    result.error = "Instalação cancelada.";
    log_.line("Erro ao criar estrutura: " + result.error);
    return result;
}

InstallResult InstallFlow::completeMissing()
{
    // The user has just chosen to go on: a cancel that came in before is not this run's.
    cancel_.store(false);
    conn_.clearCancel();
    StructureState st;
    try {
        if (!conn_.connected())
            conn_.open();
        st = inspect();
    } catch (const std::exception&) {
        if (!cancel_.load())
            throw;
        return cancelledBeforeStart();
    }
    if (st.state() == StructureState::Partial)
        return complete(st);
    // Changed since it was shown: the same decision as a fresh run.
    if (st.state() == StructureState::NotInstalled)
        return install(st);
    InstallResult result;
    result.found = st.found;
    log_.line("A estrutura aparenta já estar instalada.");
    result.outcome = InstallOutcome::AlreadyInstalled;
    return result;
}

InstallResult InstallFlow::install(const StructureState& st)
{
    InstallResult result;
    result.missing = st.missing;
    const std::string script = script_.empty() ? ScriptFor(kind_) : script_;
    log_.line("Criando estrutura do Brivel...");
    created_.clear();
    conn_.startTransaction();
    try {
        executeScript(script);
        conn_.commit();
        result.created = created_;
        created_.clear();
        log_.line("Estrutura criada com sucesso.");
        result.outcome = InstallOutcome::Installed;
    } catch (const std::exception& e) {
        fail(result, e, "Erro ao criar estrutura: ");
    }
    return result;
}

InstallResult InstallFlow::complete(const StructureState& st)
{
    InstallResult result;
    result.found = st.found;
    result.missing = st.missing;
    result.seedsMissing = SeedsMissingInPresentTables(st);
    result.completing = true;
    const ScriptStructure structure = StructureFor(kind_);

    // First a check that changes nothing: a table of the same name but another
    // shape is not Brivel's, and creating the rest around it would not work.
    log_.line("Conferindo as colunas das tabelas existentes...");
    for (const std::string& name : st.found) {
        const ScriptTable* table = structure.table(name);
        TableColumns lacking{name, {}};
        if (!table)
            continue;
        for (const std::string& column : table->columns)
            if (!columnExists(name, column))
                lacking.missing.push_back(column);
        if (!lacking.missing.empty()) {
            log_.line("A tabela " + name + " não tem as colunas: " + JoinTables(lacking.missing) + ".");
            result.columnsMissing.push_back(std::move(lacking));
        }
    }
    if (!result.columnsMissing.empty()) {
        log_.line("Nada foi criado nem removido.");
        result.outcome = InstallOutcome::ColumnsMissing;
        return result;
    }

    log_.line("Completando a estrutura do Brivel...");
    created_.clear();
    conn_.startTransaction();
    try {
        for (const ScriptTable& table : structure.tables) {
            if (std::find(st.missing.begin(), st.missing.end(), table.name) == st.missing.end())
                continue;
            if (cancel_.load())
                throw Error("Instalação cancelada.");
            conn_.execSQL(table.statement);
            if (DdlNeedsCommit(kind_) && conn_.inTransaction()) {
                conn_.commit();  // as in executeScript
                created_.push_back(table.name);
                conn_.startTransaction();
            } else {
                created_.push_back(table.name);
            }
            log_.line("Tabela " + table.name + " criada.");
        }
        // Seed rows come after every CREATE TABLE, in a transaction of their own where
        // DDL commits by itself: MySQL ends the started transaction at a CREATE TABLE
        // and would autocommit each row into tables that existed before.
        if (!created_.empty() && !DdlIsTransactional(kind_) && !DdlNeedsCommit(kind_)) {
            conn_.commit();
            conn_.startTransaction();
        }
        for (const SeedRow& seed : structure.seeds) {
            const std::string what = seed.describe();
            const bool tableNew = std::find(created_.begin(), created_.end(), seed.table) != created_.end();
            if (!tableNew && std::find(st.seedsMissing.begin(), st.seedsMissing.end(), what) == st.seedsMissing.end())
                continue;
            if (cancel_.load())
                throw Error("Instalação cancelada.");
            conn_.execSQL(seed.statement);
            result.inserted.push_back(what);
            log_.line("Registro inicial inserido: " + what + ".");
        }
        conn_.commit();
        result.created = created_;
        created_.clear();
        log_.line("Estrutura completada com sucesso.");
        result.outcome = InstallOutcome::Completed;
    } catch (const std::exception& e) {
        result.inserted.clear();
        fail(result, e, "Erro ao completar estrutura: ");
    }
    return result;
}

void InstallFlow::fail(InstallResult& result, const std::exception& e, const char* errorPrefix)
{
    result.outcome = InstallOutcome::Failed;
    // However the cancel reached the run (between statements, or stopping one), it reads the same.
    result.error = cancel_.load() ? std::string("Instalação cancelada.") : std::string(e.what());
    result.created = created_;
    // The undo runs even after a cancel.
    conn_.clearCancel();
    if (conn_.inTransaction()) {
        try {
            conn_.rollback();
        } catch (const std::exception& r) {
            log_.line(std::string("Não foi possível desfazer a transação: ") + r.what());
        }
    }
    undoCreatedTables(result);
    created_.clear();
    if (!result.leftBehind.empty())
        log_.line("Tabelas criadas nesta execução que permaneceram no banco: " + JoinTables(result.leftBehind) + ".");
    log_.line(errorPrefix + result.error);
}

void InstallFlow::close() noexcept
{
    if (!conn_.connected())
        return;
    conn_.close();
    try {
        log_.line("Conexão encerrada.");
    } catch (...) {
    }
}

std::string JoinTables(const std::vector<std::string>& tables)
{
    std::string out;
    for (const std::string& t : tables)
        out += (out.empty() ? "" : ", ") + t;
    return out;
}

std::string InstallFailureText(const InstallResult& result)
{
    std::string text = result.completing
                           ? "Erro ao completar estrutura:\r\n\r\n" + result.error
                           : "Erro ao criar estrutura:\r\n\r\n" + result.error +
                                 "\r\n\r\nVocê pode copiar ou salvar o script e executar manualmente no banco.";
    if (!result.leftBehind.empty())
        text += "\r\n\r\nAtenção: não foi possível desfazer tudo. As tabelas a seguir, criadas nesta execução, "
                "permaneceram no banco: " +
                JoinTables(result.leftBehind) + ".";
    else if (result.completing)
        text += "\r\n\r\nO que esta execução criou foi desfeito; o banco está como antes.";
    return text;
}

std::string PartialStructureText(const InstallResult& result)
{
    std::string text =
        "A estrutura do Brivel está incompleta neste banco.\r\n\r\nTabelas existentes: " + JoinTables(result.found) + ".";
    if (!result.missing.empty())
        text += "\r\nTabelas ausentes: " + JoinTables(result.missing) + ".";
    if (!result.seedsMissing.empty())
        text += "\r\nRegistros iniciais ausentes: " + JoinTables(result.seedsMissing) + ".";
    return text;
}

std::string IncompleteStructureText(const InstallResult& result)
{
    return PartialStructureText(result) +
           "\r\n\r\nNada foi criado nem removido. Confira o banco antes de instalar novamente.";
}

std::string ColumnsMissingText(const InstallResult& result)
{
    std::string text = "A estrutura do Brivel não pode ser completada: há tabelas do Brivel sem todas as colunas "
                       "necessárias.\r\n";
    for (const TableColumns& t : result.columnsMissing)
        text += "\r\n" + t.table + (t.missing.size() == 1 ? ": falta a coluna " : ": faltam as colunas ") +
                JoinTables(t.missing) + ".";
    return text + "\r\n\r\nNada foi criado nem removido. Confira essas tabelas no banco.";
}

} // namespace brivel
