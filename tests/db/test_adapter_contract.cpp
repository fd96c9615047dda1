// The adapter contract (AdapterContract.cpp) on Linux: PostgreSQL, MariaDB,
// Firebird and SQLite for real, SQL Server through the PostgreSQL ODBC driver
// under a SQL Server driver name, Oracle through the OCI stand-in. Each kind
// brings its context; results are looked at with the kind's own command-line
// client (the Oracle stand-in, which has none, through a session of its own).
#include "AdapterContract.h"

#include "core/InstallSteps.h"
#include "db/Connection.h"
#include "support/Check.h"
#include "support/KindTargets.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;
using brivel::contract::KindContext;

namespace {

std::string S(const QString& s) { return s.toStdString(); }

long long Number(const Outcome& o, const QString& out)
{
    if (!o)
        throw check::Failure(S(o.message));
    bool ok = false;
    const long long n = out.toLongLong(&ok);
    if (!ok)
        throw check::Failure("not a number: " + S(out));
    return n;
}

// What the kind's own client answers; for the Oracle stand-in, a session of its own.
void LookFromOutside(KindTarget& t, KindContext& k)
{
    if (t.kind == tbOracle) {
        auto look = [&t](const std::string& sql, const std::string& value) {
            auto c = t.connection();
            c->open();
            return c->queryInt(sql, "TABELA", value, "QTD");
        };
        k.tableExists = [=](const std::string& name) { return look(ExistenceQuery(tbOracle), name) == 1; };
        k.rows = [=](const std::string& table) { return look("SELECT COUNT(*) QTD FROM " + table, ""); };
        // The stand-in keeps no values: the text is what reached it, in its log.
        k.storedText = [&t](const std::string& table) {
            return contract::TextOfLoggedInsert(S(t.oracle->log().join('\n')), table);
        };
        k.comparesText = false;
        return;
    }
    // The installation's existence query with the name written in, run by the client.
    const TTipoBanco catalogKind = t.kind == tbSQLServer ? tbPostgreSQL : t.kind;
    k.tableExists = [&t, catalogKind](const std::string& name) {
        const std::string sql = db::ReplaceParameterMarker(ExistenceQuery(catalogKind), "TABELA", "'" + name + "'");
        QString out;
        return Number(RunNativeSql(t, QString::fromStdString(sql) + ";", &out), out) == 1;
    };
    k.rows = [&t](const std::string& table) {
        QString out;
        return Number(RunNativeSql(t, QStringLiteral("SELECT COUNT(*) FROM %1;").arg(QString::fromStdString(table)), &out),
                      out);
    };
    k.storedText = [&t](const std::string& table) {
        QString out;
        if (auto o = RunNativeSql(t, QStringLiteral("SELECT NOME FROM %1;").arg(QString::fromStdString(table)), &out);
            !o)
            throw check::Failure(S(o.message));
        return S(out);
    };
}

Outcome Prepare(const QString& kind, KindTarget& t, KindContext& k)
{
    if (auto o = PrepareTarget(kind, t); !o)
        return o;
    k.kind = t.kind;
    k.ddl = contract::DdlFactsOf(t.kind);
    k.password = t.fields.senha;
    k.connect = [&t](const std::string& password) { return t.connection(&password); };
    LookFromOutside(t, k);
    switch (t.kind) {
    case tbPostgreSQL:
    case tbSQLServer: k.refusal = "password authentication failed"; break;
    case tbMySQL:
        k.refusal = "Access denied";
        k.from = " FROM DUAL";
        k.exactly = " COLLATE utf8mb4_bin";  // the database's collation ignores accents
        break;
    case tbFirebird:
        k.refusal = "Your user name and password are not defined";
        k.from = " FROM RDB$DATABASE";
        k.nullValue = "CAST(NULL AS INTEGER)";  // a bare NULL has no type to describe
        break;
    case tbSQLite: k.refusal = ""; break;
    case tbOracle:
        k.refusal = "ORA-01017";
        k.missingTable = "ORA-00942";  // Oracle's text does not name the table
        k.from = " FROM DUAL";
        k.isolatesSessions = false;    // the stand-in keeps one set of rows for all
        // The stand-in's statement marked so waits until OCIBreak.
        k.hold = [](db::Connection& tested) {
            tested.execSQL("CREATE TABLE T_TRAVA (ID NUMBER)");
            tested.startTransaction();
            return contract::Held{"INSERT /*ESPERA*/ INTO T_TRAVA VALUES (1)", nullptr};
        };
        break;
    }
    return {};
}

} // namespace

class AdapterContractTest : public QObject {
    Q_OBJECT
private slots:
    void contract_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("index");
        for (const QString& kind : KindNames()) {
            const auto& cases = contract::ContractCases();
            for (int i = 0; i < int(cases.size()); ++i)
                QTest::newRow(qPrintable(kind + ": " + cases[i].name)) << kind << i;
        }
    }
    void contract()
    {
        QFETCH(QString, kind);
        QFETCH(int, index);
        KindTarget target;
        KindContext k;
        BRIVEL_REQUIRE(Prepare(kind, target, k));
        const auto& c = contract::ContractCases()[index];
        try {
            c.run(k);
        } catch (const check::Failure& f) {
            const std::string row = check::Context().empty() ? "" : " [" + check::Context() + "]";
            check::Context().clear();
            QFAIL((f.what() + row).c_str());
        } catch (const std::exception& e) {
            QFAIL((std::string("unexpected exception: ") + e.what()).c_str());
        }
    }
};

QTEST_GUILESS_MAIN(AdapterContractTest)
#include "test_adapter_contract.moc"
