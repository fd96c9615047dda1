#include "support/PartialStructure.h"

#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "flow/InstallFlow.h"

namespace brivel::test {

namespace {
class KillingLog : public InstallLog {
public:
    KillingLog(const DatabaseTarget& t, int statement) : t_(t), statement_(statement) {}
    void line(const std::string& msg) override
    {
        if (msg == "Executando comando..." && ++seen_ == statement_)
            killed = t_.killOtherSessions();
    }
    Outcome killed = Outcome::Fail(QStringLiteral("the statement was never reached"));

private:
    const DatabaseTarget& t_;
    int statement_;
    int seen_ = 0;
};
} // namespace

Outcome InstallUntilSessionKilled(const DatabaseTarget& t, int statement)
{
    db::Connection conn;
    db::SetUpConnection(conn, t.fields());
    KillingLog log(t, statement);
    InstallFlow flow(conn, static_cast<TTipoBanco>(t.kind), "", log);
    try {
        const InstallResult r = flow.run();
        flow.close();
        if (!log.killed)
            return log.killed;
        if (r.outcome != InstallOutcome::Failed)
            return Outcome::Fail(QStringLiteral("the installation survived its session's end"));
    } catch (const std::exception& e) {
        return Outcome::Fail(QStringLiteral("installation: ") + QString::fromUtf8(e.what()));
    }
    return {};
}

Outcome BlockScriptCreation(const DatabaseTarget& t, int& failing)
{
    failing = 4;
    switch (t.kind) {
    case tbPostgreSQL: return t.sql(QStringLiteral("CREATE SEQUENCE API_USUARIOS;"));
    case tbMySQL:
        failing = 3;
        return t.sql(QStringLiteral("CREATE TABLE OUTRA (X INTEGER PRIMARY KEY, Y INTEGER, CONSTRAINT "
                                    "FK_API_PARAM_ROTA FOREIGN KEY (Y) REFERENCES OUTRA (X));"));
    case tbFirebird:
        return t.sql(QStringLiteral("CREATE TABLE OUTRA (X INTEGER NOT NULL, CONSTRAINT PK_API_USUARIOS PRIMARY KEY (X));"));
    default:
        return t.sql(QStringLiteral("CREATE TABLE OUTRA (X INTEGER); CREATE INDEX API_USUARIOS ON OUTRA (X);"));
    }
}

Outcome UnblockScriptCreation(const DatabaseTarget& t)
{
    switch (t.kind) {
    case tbPostgreSQL: return t.sql(QStringLiteral("DROP SEQUENCE API_USUARIOS;"));
    case tbMySQL:
    case tbFirebird: return t.sql(QStringLiteral("DROP TABLE OUTRA;"));
    default: return t.sql(QStringLiteral("DROP INDEX API_USUARIOS; DROP TABLE OUTRA;"));
    }
}

} // namespace brivel::test
