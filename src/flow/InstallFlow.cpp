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

InstallResult InstallFlow::run()
{
    InstallResult result;
    if (!conn_.connected())
        conn_.open();
    log_.line("Banco selecionado: " + displayName_);
    log_.line("Verificando estrutura existente...");
    if (tableExists("API_CONFIG")) {
        log_.line("A tabela API_CONFIG já existe.");
        log_.line("A estrutura aparenta já estar instalada.");
        result.outcome = InstallOutcome::AlreadyInstalled;
        return result;
    }
    const std::string script = ScriptFor(kind_);
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
        result.outcome = InstallOutcome::Failed;
        result.error = e.what();
        result.created = created_;
        if (conn_.inTransaction()) {
            try {
                conn_.rollback();
            } catch (const std::exception& r) {
                log_.line(std::string("Não foi possível desfazer a transação: ") + r.what());
            }
        }
        undoCreatedTables(result);
        created_.clear();
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
    return "Erro ao criar estrutura:\r\n\r\n" + result.error +
           "\r\n\r\nVocê pode copiar ou salvar o script e executar manualmente no banco.";
}

std::string IncompleteStructureText(const InstallResult& result)
{
    return "A estrutura do Brivel está incompleta neste banco.\r\n\r\nTabelas existentes: " + JoinTables(result.found) +
           "\r\nTabelas ausentes: " + JoinTables(result.missing);
}

} // namespace brivel
