#include "cli/CliCommands.h"

#include "cli/Terminal.h"
#include "core/AppPaths.h"
#include "core/ConfigApiIni.h"
#include "core/Error.h"
#include "core/SchemaScript.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "flow/InstallFlow.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <iostream>
#include <mutex>
#include <thread>

namespace brivel::cli {

namespace {

// The connection and its two driver links, as the wizard's window owns them.
struct Session {
    db::DriverLink pg{"PG", "PostgreSQL", db::PostgresLibraryFiles()};
    db::DriverLink oracle{"Ora", "Oracle", db::OracleLibraryFiles()};
    db::Connection conn{db::DriverLinks{&pg, &oracle}};

    // The wizard's connection set-up, the client libraries taken from beside the executable.
    void define(const ConnectionFields& f, InstallLog& log)
    {
        db::SetUpConnection(conn, f, ExecutableFolder(), [&log](const std::string& line) { log.line(line); });
    }
};

// The wizard's validation; its message and exit 2 when a field is wrong.
bool Valid(const ConnectionFields& f, Report& report)
{
    try {
        ValidarCamposConexao(f);
        return true;
    } catch (const Error& e) {
        report.error(e.what());
        return false;
    }
}

bool Connect(Session& s, const ConnectionFields& f, Report& report)
{
    try {
        s.define(f, report);
        s.conn.open();
        return true;
    } catch (const std::exception& e) {
        report.error(std::string("Erro ao conectar ao banco: ") + e.what());
        return false;
    }
}

nlohmann::json Tables(const std::vector<std::string>& tables) { return nlohmann::json(tables); }

// Ctrl+C during an installation stops the statement running and undoes the run.
// The handler only raises a flag (nothing else is safe there); a thread of the
// installation passes it on to the flow, whose cancel reaches the server.
std::atomic<bool> gInterrupted{false};
extern "C" void OnInterrupt(int)
{
    gInterrupted.store(true);
}

class InterruptWatch {
public:
    explicit InterruptWatch(InstallFlow& flow) : flow_(flow)
    {
        gInterrupted.store(false);
        previous_ = std::signal(SIGINT, OnInterrupt);
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            while (!done_) {
                wake_.wait_for(lock, std::chrono::milliseconds(100));
                if (gInterrupted.exchange(false))
                    flow_.cancel();
            }
        });
    }
    ~InterruptWatch()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
        std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    InstallFlow& flow_;
    void (*previous_)(int) = SIG_DFL;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace

int Testar(const Options& o, const ConnectionFields& f, Report& report)
{
    if (!Valid(f, report))
        return kUsage;
    const std::string path = o.config.empty() ? ConfigApiIniPath(ExecutableFolder()) : o.config;
    report.data()["config"] = path;
    Session s;
    if (!Connect(s, f, report))
        return kFailure;
    try {
        SaveConfigApiIni(path, f, ExecutableFolder());
    } catch (const std::exception& e) {
        s.conn.close();
        report.error(ConfigApiIniNotSavedText(e.what()));
        return kFailure;
    }
    report.line("Conexão realizada com sucesso.");
    report.line("Arquivo configApi.ini criado em: " + path);
    s.conn.close();
    report.data()["resultado"] = "conectado";
    return kOk;
}

int Script(const Options& o, const ConnectionFields& f, Report& report)
{
    if (f.kindIndex < 0) {
        report.error("Informe o tipo do banco.");
        return kUsage;
    }
    const std::string text = ScriptFor(f.kind());
    if (o.saida.empty()) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        report.data()["resultado"] = "script";
        return std::cout ? kOk : kFailure;
    }
    try {
        WriteFileReplacing(o.saida, "\xEF\xBB\xBF" + text);
    } catch (const std::exception& e) {
        report.error(e.what());
        return kFailure;
    }
    report.line("Script salvo em: " + o.saida);
    report.data()["resultado"] = "script";
    report.data()["arquivo"] = o.saida;
    return kOk;
}

int Instalar(const Options& o, const ConnectionFields& f, Report& report)
{
    if (!Valid(f, report))
        return kUsage;
    Session s;
    if (!Connect(s, f, report))
        return kFailure;
    const TTipoBanco kind = f.kind();
    InstallFlow flow(s.conn, kind, DisplayName(kind), report);
    InstallResult r;
    std::string escaped;
    {
        InterruptWatch interrupt(flow);
        try {
            r = flow.run(o.completar);
        } catch (const std::exception& e) {
            escaped = e.what();
        }
    }
    flow.close();

    auto& d = report.data();
    if (!escaped.empty()) {
        d["resultado"] = "falha";
        report.error("Erro ao criar estrutura: " + escaped);
        return kFailure;
    }
    const bool done = r.outcome == InstallOutcome::Installed || r.outcome == InstallOutcome::Completed;
    d["tabelas_criadas"] = Tables(done ? r.created : std::vector<std::string>{});
    if (o.completar)
        d["registros_inseridos"] = Tables(r.outcome == InstallOutcome::Completed ? r.inserted : std::vector<std::string>{});
    if (r.outcome != InstallOutcome::Installed) {
        d["tabelas_encontradas"] = Tables(r.found);
        if (r.outcome != InstallOutcome::AlreadyInstalled) {
            d["tabelas_ausentes"] = Tables(r.missing);
            d["registros_ausentes"] = Tables(r.seedsMissing);
        }
    }
    switch (r.outcome) {
    case InstallOutcome::Installed:
        d["resultado"] = "instalada";
        return kOk;
    case InstallOutcome::Completed:
        d["resultado"] = "completada";
        return kOk;
    case InstallOutcome::AlreadyInstalled:
        d["resultado"] = "ja_instalada";
        return kOk;
    case InstallOutcome::Incomplete:
        d["resultado"] = "incompleta";
        report.error(IncompleteStructureText(r) +
                     "\r\n\r\nPara criar apenas o que falta, sem alterar nem remover o que existe, use: "
                     "setupbriveldb-cli instalar --completar");
        return kFailure;
    case InstallOutcome::ColumnsMissing: {
        d["resultado"] = "colunas_ausentes";
        nlohmann::json columns = nlohmann::json::object();
        for (const TableColumns& t : r.columnsMissing)
            columns[t.table] = Tables(t.missing);
        d["colunas_ausentes"] = columns;
        report.error(ColumnsMissingText(r));
        return kFailure;
    }
    case InstallOutcome::Failed:
        break;
    }
    d["resultado"] = "falha";
    d["desfeito"] = r.leftBehind.empty();
    d["tabelas_removidas"] = Tables(r.undone);
    d["tabelas_restantes"] = Tables(r.leftBehind);
    report.error(InstallFailureText(r));
    return kFailure;
}

int Verificar(const ConnectionFields& f, Report& report)
{
    if (!Valid(f, report))
        return kUsage;
    Session s;
    if (!Connect(s, f, report))
        return kFailure;
    const TTipoBanco kind = f.kind();
    InstallFlow flow(s.conn, kind, DisplayName(kind), report);
    StructureState st;
    try {
        report.line(std::string("Banco selecionado: ") + DisplayName(kind));
        report.line("Verificando estrutura existente...");
        st = flow.inspect();
    } catch (const std::exception& e) {
        flow.close();
        report.error(std::string("Erro ao verificar estrutura: ") + e.what());
        return kFailure;
    }
    for (const char* t : kBrivelTables) {
        const bool exists = std::find(st.found.begin(), st.found.end(), t) != st.found.end();
        report.line(std::string("Tabela ") + t + (exists ? ": existe." : ": não existe."));
    }
    if (!st.found.empty()) {
        report.line(std::string("Registros iniciais de API_CONFIG: ") + (st.configSeed ? "presentes." : "ausentes."));
        report.line(std::string("Registros iniciais de API_SEQUENCIAIS: ") +
                    (st.sequenceSeeds ? "presentes." : "ausentes."));
        if (!st.seedsMissing.empty())
            report.line("Registros iniciais ausentes: " + JoinTables(st.seedsMissing) + ".");
    }
    const char* const states[] = {"instalada", "não instalada", "parcial"};
    report.line(std::string("Estrutura do Brivel: ") + states[st.state()] + ".");
    flow.close();

    auto& d = report.data();
    d["tabelas_encontradas"] = Tables(st.found);
    d["tabelas_ausentes"] = Tables(st.missing);
    d["registros_iniciais"] = {{"API_CONFIG", st.configSeed}, {"API_SEQUENCIAIS", st.sequenceSeeds}};
    d["registros_ausentes"] = Tables(st.seedsMissing);
    switch (st.state()) {
    case StructureState::Installed:
        d["resultado"] = "instalada";
        return kOk;
    case StructureState::NotInstalled:
        d["resultado"] = "nao_instalada";
        return kNotInstalled;
    case StructureState::Partial:
        break;
    }
    d["resultado"] = "parcial";
    return kPartial;
}

} // namespace brivel::cli
