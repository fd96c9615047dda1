#include "flow/InstallFlow.h"

#include "core/Error.h"
#include "core/InstallSteps.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"

namespace brivel {

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
        created_.push_back(created);
        // Firebird: later statements of the same transaction cannot use a table
        // created in it, so each new table is committed at once (and undone by
        // undoCreatedTables should a later statement fail).
        if (kind_ == tbFirebird && conn_.inTransaction()) {
            conn_.commit();
            conn_.startTransaction();
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

void InstallFlow::findTables(std::vector<std::string>& found, std::vector<std::string>& missing)
{
    for (const char* table : kBrivelTables)
        (tableExists(table) ? found : missing).push_back(table);
}

StructureState InstallFlow::inspect()
{
    if (!conn_.connected())
        conn_.open();
    StructureState st;
    findTables(st.found, st.missing);
    auto has = [&](const char* table) {
        for (const std::string& t : st.found)
            if (t == table)
                return true;
        return false;
    };
    if (has("API_SEQUENCIAIS")) {
        st.sequenceSeeds = true;
        for (const char* table : kBrivelTables) {
            if (std::string(table) == "API_SEQUENCIAIS")
                continue;
            if (conn_.queryInt("SELECT COUNT(*) QTD FROM API_SEQUENCIAIS WHERE NOME_TABELA = :TABELA", "TABELA", table,
                               "QTD") == 0)
                st.sequenceSeeds = false;
        }
        if (has("API_CONFIG"))
            st.configSeed = conn_.queryInt("SELECT COUNT(*) QTD FROM API_CONFIG WHERE ID_CONFIG = (SELECT ULTIMO_ID "
                                           "FROM API_SEQUENCIAIS WHERE NOME_TABELA = :TABELA)",
                                           "TABELA", "API_CONFIG", "QTD") > 0;
    }
    return st;
}

StructureState::State StructureState::state() const
{
    if (found.empty())
        return NotInstalled;
    return missing.empty() && configSeed && sequenceSeeds ? Installed : Partial;
}

InstallResult InstallFlow::run()
{
    InstallResult result;
    // A cancel left from an earlier run is not this run's.
    conn_.clearCancel();
    const std::string script = ScriptFor(kind_);
    try {
        if (!conn_.connected())
            conn_.open();
        log_.line("Banco selecionado: " + displayName_);
        log_.line("Verificando estrutura existente...");
        if (tableExists("API_CONFIG")) {
            log_.line("A tabela API_CONFIG já existe.");
            // API_CONFIG alone is no proof: a run cut short leaves the first tables
            // behind, and what is missing must not be reported as installed.
            findTables(result.found, result.missing);
            if (!result.missing.empty()) {
                log_.line("A estrutura do Brivel está incompleta neste banco.");
                log_.line("Tabelas existentes: " + JoinTables(result.found) + ".");
                log_.line("Tabelas ausentes: " + JoinTables(result.missing) + ".");
                result.outcome = InstallOutcome::Incomplete;
                return result;
            }
            log_.line("A estrutura aparenta já estar instalada.");
            result.outcome = InstallOutcome::AlreadyInstalled;
            return result;
        }
        log_.line("Criando estrutura do Brivel...");
        created_.clear();
        conn_.startTransaction();
    } catch (const std::exception&) {
        // A cancel before anything was created (while connecting or looking for
        // the tables) is reported as such, like one during the script.
        if (!cancel_.load())
            throw;
        conn_.clearCancel();
        result.outcome = InstallOutcome::Failed;
        result.error = "Instalação cancelada.";
        log_.line("Erro ao criar estrutura: " + result.error);
        return result;
    }
    try {
        executeScript(script);
        conn_.commit();
        result.created = created_;
        created_.clear();
        log_.line("Estrutura criada com sucesso.");
        result.outcome = InstallOutcome::Installed;
    } catch (const std::exception& e) {
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
        log_.line("Erro ao criar estrutura: " + result.error);
    }
    return result;
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
    std::string text = "Erro ao criar estrutura:\r\n\r\n" + result.error +
                       "\r\n\r\nVocê pode copiar ou salvar o script e executar manualmente no banco.";
    if (!result.leftBehind.empty())
        text += "\r\n\r\nAtenção: não foi possível desfazer tudo. As tabelas a seguir, criadas nesta execução, "
                "permaneceram no banco: " +
                JoinTables(result.leftBehind) + ".";
    return text;
}

std::string IncompleteStructureText(const InstallResult& result)
{
    return "A estrutura do Brivel está incompleta neste banco.\r\n\r\nTabelas existentes: " + JoinTables(result.found) +
           ".\r\nTabelas ausentes: " + JoinTables(result.missing) +
           ".\r\n\r\nNada foi criado nem removido. Confira o banco antes de instalar novamente.";
}

} // namespace brivel
