#include "AdapterContract.h"

#include "core/Error.h"
#include "core/InstallSteps.h"
#include "db/DbAdapter.h"
#include "db/OperationWatch.h"
#include "support/Check.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

namespace brivel::contract {

using namespace std::chrono_literals;
using check::Contains;

DdlFacts DdlFactsOf(TTipoBanco kind)
{
    // The facts the installation reads.
    return {DdlIsTransactional(kind), DdlNeedsCommit(kind)};
}

std::string TextOfLoggedInsert(const std::string& log, const std::string& table)
{
    const std::string insert = "INSERT INTO " + table + " (NOME) VALUES ('";
    const size_t at = log.rfind(insert);
    if (at == std::string::npos)
        return {};
    const size_t from = at + insert.size();
    const size_t end = log.find("')", from);
    return log.substr(from, end == std::string::npos ? end : end - from);
}

namespace {

const std::string kWrongPassword = "Senha-Errada-42";

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

std::unique_ptr<db::Connection> Opened(KindContext& k)
{
    auto c = k.connect(k.password);
    c->open();
    CHECK(c->connected());
    return c;
}

void OpensAndCloses(KindContext& k)
{
    auto c = Opened(k);
    c->execSQL("CREATE TABLE T_ABRE (ID INTEGER)");
    c->close();
    CHECK(!c->connected());
    c->close();  // twice is harmless
    CHECK(k.tableExists("T_ABRE"));
    // The definition stays: the same connection opens again and works.
    c->open();
    CHECK(c->connected());
    c->execSQL("INSERT INTO T_ABRE (ID) VALUES (1)");
    CHECK_EQ(k.rows("T_ABRE"), 1LL);
    c->close();
}

void RefusesWrongPassword(KindContext& k)
{
    auto c = k.connect(kWrongPassword);
    if (k.refusal.empty()) {  // a file without a login (SQLite): the password plays no part
        c->open();
        CHECK(c->connected());
        return;
    }
    const std::string message = ERROR_MESSAGE(c->open());
    CHECK(Contains(message, k.refusal));
    CHECK(!Contains(message, kWrongPassword));
    CHECK(!c->connected());
}

void StatementsRunAndFailWithServerText(KindContext& k)
{
    auto c = Opened(k);
    c->execSQL("CREATE TABLE T_CMD (ID INTEGER, NOME VARCHAR(20))");
    c->execSQL("INSERT INTO T_CMD (ID, NOME) VALUES (1, 'a:b')");  // a colon is no marker here
    CHECK_EQ(k.rows("T_CMD"), 1LL);
    const std::string message = ERROR_MESSAGE(c->execSQL("INSERT INTO NAO_EXISTE_CONTRATO VALUES (1)"));
    CHECK(Contains(Upper(message), k.missingTable.empty() ? "NAO_EXISTE_CONTRATO" : k.missingTable));
    const std::string queried = ERROR_MESSAGE(
        c->queryInt("SELECT COUNT(*) QTD FROM NAO_EXISTE_CONSULTA WHERE NOME = :TABELA", "TABELA", "x", "QTD"));
    CHECK(Contains(Upper(queried), k.missingTable.empty() ? "NAO_EXISTE_CONSULTA" : k.missingTable));
    // The failures spoil nothing.
    c->execSQL("INSERT INTO T_CMD (ID, NOME) VALUES (2, 'c')");
    CHECK_EQ(k.rows("T_CMD"), 2LL);
    c->close();
}

void CommitKeepsRollbackDiscards(KindContext& k)
{
    auto c = Opened(k);
    c->execSQL("CREATE TABLE T_TRANS (ID INTEGER)");
    c->startTransaction();
    CHECK(c->inTransaction());
    c->execSQL("INSERT INTO T_TRANS (ID) VALUES (1)");
    c->rollback();
    CHECK(!c->inTransaction());
    CHECK_EQ(k.rows("T_TRANS"), 0LL);

    c->startTransaction();
    c->execSQL("INSERT INTO T_TRANS (ID) VALUES (2)");
    c->execSQL("INSERT INTO T_TRANS (ID) VALUES (3)");
    if (k.isolatesSessions)
        CHECK_EQ(k.rows("T_TRANS"), 0LL);  // not seen from outside before the commit
    c->commit();
    CHECK(!c->inTransaction());
    CHECK_EQ(k.rows("T_TRANS"), 2LL);
    // Back to committing each statement by itself.
    c->execSQL("INSERT INTO T_TRANS (ID) VALUES (4)");
    CHECK_EQ(k.rows("T_TRANS"), 3LL);

    // Closing with a transaction pending gives its work up.
    c->startTransaction();
    c->execSQL("INSERT INTO T_TRANS (ID) VALUES (5)");
    c->close();
    CHECK_EQ(k.rows("T_TRANS"), 3LL);
}

// CREATE TABLE in a transaction, handled as the installation handles it, then a
// rollback: the table is gone exactly where the kind's DDL is transactional.
void DdlInsideTransactionFollowsTheKindsFacts(KindContext& k)
{
    auto c = Opened(k);
    c->startTransaction();
    c->execSQL("CREATE TABLE T_DDL (ID INTEGER)");
    if (k.ddl.committedEachTable) {
        c->commit();
        CHECK(k.tableExists("T_DDL"));
        c->startTransaction();
    }
    c->rollback();
    CHECK(!c->inTransaction());
    CHECK_EQ(k.tableExists("T_DDL"), !k.ddl.transactional);
    c->close();
}

void QueryIntAnswersOrSaysWhyNot(KindContext& k)
{
    auto c = Opened(k);
    const std::string where = k.from + " WHERE :TABELA = 'sim'";
    const std::string seven = "SELECT 7 QTD" + where;
    CHECK_EQ(c->queryInt(seven, "TABELA", "sim", "QTD"), 7LL);
    CHECK_EQ(c->queryInt(seven, "TABELA", "sim", "qtd"), 7LL);  // the column's name in any case

    // Where the answer holds no number: the same error on every kind, never a 0.
    const struct {
        const char* name;
        std::string sql, value, column, error;
    } cases[] = {
        {"missing column", seven, "sim", "OUTRA", db::MissingColumnText("OUTRA")},
        {"no row", seven, "nao", "QTD", db::NoRowText()},
        {"NULL", "SELECT " + k.nullValue + " QTD" + where, "sim", "QTD", db::NullValueText("QTD")},
    };
    for (const auto& t : cases) {
        check::Row row(t.name);
        CHECK_EQ(ERROR_MESSAGE(c->queryInt(t.sql, "TABELA", t.value, t.column)), t.error);
    }
    // None of them spoils the connection.
    CHECK_EQ(c->queryInt(seven, "TABELA", "sim", "QTD"), 7LL);
    CHECK(!c->inTransaction());

    // The installation's own existence query finds a table whatever the case of its name.
    const std::string existence = ExistenceQuery(k.kind);
    CHECK_EQ(c->queryInt(existence, "TABELA", "API_CONTRATO", "QTD"), 0LL);
    c->execSQL("CREATE TABLE API_CONTRATO (ID INTEGER)");
    CHECK(k.tableExists("API_CONTRATO"));
    CHECK_EQ(c->queryInt(existence, "TABELA", "API_CONTRATO", "QTD"), 1LL);
    CHECK_EQ(c->queryInt(existence, "TABELA", "api_contrato", "QTD"), 1LL);
    CHECK_EQ(c->queryInt(existence, "TABELA", "API_CONTRAT", "QTD"), 0LL);
    c->execSQL("CREATE TABLE api_minusculas (ID INTEGER)");
    CHECK_EQ(c->queryInt(existence, "TABELA", "API_MINUSCULAS", "QTD"), 1LL);
    c->close();
}

// Accented text sent in a statement is stored as those characters, and sent as
// the bound value it matches what was stored.
void PortugueseTextBothWays(KindContext& k)
{
    auto c = Opened(k);
    c->execSQL("CREATE TABLE T_TEXTO (NOME VARCHAR(60))");
    c->execSQL("INSERT INTO T_TEXTO (NOME) VALUES ('" + kPortugueseText + "')");
    CHECK_EQ(k.storedText("T_TEXTO"), kPortugueseText);
    if (k.comparesText) {
        const std::string count = "SELECT COUNT(*) QTD FROM T_TEXTO WHERE NOME = :TABELA" + k.exactly;
        CHECK_EQ(c->queryInt(count, "TABELA", kPortugueseText, "QTD"), 1LL);
        CHECK_EQ(c->queryInt(count, "TABELA", "Instalacao – configuracao €", "QTD"), 0LL);
    }
    c->close();
}

// The connection under test, in a transaction, about to run a statement that waits.
struct Waiting {
    std::unique_ptr<db::Connection> tested;
    Held held;
    ~Waiting()
    {
        if (tested)
            tested->close();
        if (held.holder)
            held.holder->close();  // the lock goes with the session
    }
};

void StartWaiting(KindContext& k, Waiting& w)
{
    if (k.hold) {
        w.tested = Opened(k);
        w.tested->startTransaction();
        w.held = k.hold(*w.tested);
        return;
    }
    w.held.holder = Opened(k);
    w.held.holder->execSQL("CREATE TABLE T_TRAVA (ID INTEGER NOT NULL PRIMARY KEY, V INTEGER)");
    w.held.holder->execSQL("INSERT INTO T_TRAVA (ID, V) VALUES (1, 0)");
    w.held.holder->startTransaction();
    w.held.holder->execSQL("UPDATE T_TRAVA SET V = 1 WHERE ID = 1");
    w.tested = Opened(k);
    w.tested->startTransaction();
    w.held.statement = "UPDATE T_TRAVA SET V = 2 WHERE ID = 1";
}

const std::string kCancelled = "Operação cancelada pelo usuário.";

void AnswerBoundCancelsAWaitingStatement(KindContext& k)
{
    Waiting w;
    StartWaiting(k, w);
    db::Connection& c = *w.tested;
    c.setAnswerBound(1s);
    CHECK_EQ(ERROR_MESSAGE(c.execSQL(w.held.statement)), db::NoAnswerMessage(1s));
    // Cancelled through the library, not by cutting the connection: it goes on working.
    CHECK(c.connected());
    c.rollback();
    CHECK(!c.inTransaction());
    CHECK(!c.cancelRequested());
    CHECK_EQ(c.queryInt("SELECT 1 QTD" + k.from + " WHERE :TABELA = 'a'", "TABELA", "a", "QTD"), 1LL);
}

void UserCancelStopsAWaitingStatementAndLaterWork(KindContext& k)
{
    Waiting w;
    StartWaiting(k, w);
    db::Connection& c = *w.tested;
    std::string error;
    std::thread worker([&] {
        try {
            c.execSQL(w.held.statement);
        } catch (const Error& e) {
            error = e.what();
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!c.operationRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);  // into the wait
    c.cancel();  // from this thread, while the worker waits
    worker.join();
    CHECK_EQ(error, kCancelled);

    // Later work is refused until the cancel is cleared; the undo still runs.
    const std::string one = "SELECT 1 QTD" + k.from + " WHERE :TABELA = 'a'";
    CHECK_EQ(ERROR_MESSAGE(c.queryInt(one, "TABELA", "a", "QTD")), kCancelled);
    c.rollback();
    CHECK(!c.inTransaction());
    c.clearCancel();
    CHECK_EQ(c.queryInt(one, "TABELA", "a", "QTD"), 1LL);
}

} // namespace

const std::vector<ContractCase>& ContractCases()
{
    static const std::vector<ContractCase> cases = {
        {"opens and closes", OpensAndCloses},
        {"refuses a wrong password with the server's text, never the password", RefusesWrongPassword},
        {"runs statements, fails with the server's text", StatementsRunAndFailWithServerText},
        {"commit keeps, rollback and close discard", CommitKeepsRollbackDiscards},
        {"DDL inside a transaction follows the kind's facts", DdlInsideTransactionFollowsTheKindsFacts},
        {"the one-parameter query answers or says why not", QueryIntAnswersOrSaysWhyNot},
        {"Portuguese text both ways", PortugueseTextBothWays},
        {"the answer bound cancels a waiting statement", AnswerBoundCancelsAWaitingStatement, true},
        {"a user's cancel stops a waiting statement and later work", UserCancelStopsAWaitingStatementAndLaterWork, true},
    };
    return cases;
}

} // namespace brivel::contract
