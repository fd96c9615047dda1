// setupbriveldb-cli on partial structures: instalar and verificar agree on every
// state, and instalar --completar creates only what is missing, or nothing.
#include "CliProcess.h"

#include "core/ScriptStructure.h"
#include "support/DatabaseTarget.h"
#include "support/PartialStructure.h"
#include "support/TestServers.h"

#include <QJsonArray>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

struct Setup : CliTarget {
    // The kind's own CREATE TABLE of one Brivel table, run by the kind's client.
    Outcome createAsTheScript(const char* table) const
    {
        const ScriptStructure structure = StructureFor(static_cast<TTipoBanco>(t.kind));
        return t.sql(QString::fromStdString(structure.table(table)->statement) + ";");
    }
    // Tables and row counts, read by the kind's own client.
    QString snapshot() const
    {
        QString s = t.brivelTables().join(',');
        for (const QString& table : t.brivelTables())
            s += ' ' + table + '=' + t.scalar("SELECT COUNT(*) FROM " + table + ";");
        return s;
    }
};

QStringList Strings(const QJsonValue& v)
{
    QStringList out;
    for (const QJsonValue& e : v.toArray())
        out << e.toString();
    return out;
}

const QStringList kSeedRows{"API_CONFIG (ID_CONFIG = 1)",
                            "API_SEQUENCIAIS (NOME_TABELA = 'API_CONFIG')",
                            "API_SEQUENCIAIS (NOME_TABELA = 'API_ROTAS')",
                            "API_SEQUENCIAIS (NOME_TABELA = 'API_ROTA_PARAMETROS')",
                            "API_SEQUENCIAIS (NOME_TABELA = 'API_USUARIOS')",
                            "API_SEQUENCIAIS (NOME_TABELA = 'API_LOG_CHAMADAS')"};

} // namespace

class CliCompleteTest : public QObject {
    Q_OBJECT
private slots:
    void instalarAndVerificarAgree_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("change");  // after a full installation; "-": no installation
        QTest::addColumn<int>("verificarCode");
        QTest::addColumn<QString>("instalar");
        QTest::addColumn<int>("instalarCode");
        for (const int kind : {int(tbSQLite), int(tbPostgreSQL), int(tbMySQL), int(tbFirebird)}) {
            const QByteArray name = DisplayName(static_cast<TTipoBanco>(kind));
            QTest::newRow(name + ", not installed") << kind << "-" << 3 << "instalada" << 0;
            QTest::newRow(name + ", installed") << kind << "" << 0 << "ja_instalada" << 0;
            QTest::newRow(name + ", partial by tables")
                << kind << "DROP TABLE API_ROTA_PARAMETROS;" << 4 << "incompleta" << 1;
            QTest::newRow(name + ", partial by seed rows")
                << kind << "DELETE FROM API_CONFIG; DELETE FROM API_SEQUENCIAIS;" << 4 << "incompleta" << 1;
            QTest::newRow(name + ", one counter row gone")
                << kind << "DELETE FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_USUARIOS';" << 4 << "incompleta" << 1;
        }
    }
    void instalarAndVerificarAgree()
    {
        QFETCH(int, kind);
        QFETCH(QString, change);
        QFETCH(int, verificarCode);
        QFETCH(QString, instalar);
        QFETCH(int, instalarCode);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        if (change != "-") {
            QCOMPARE(s.run("instalar").code, 0);
            if (!change.isEmpty())
                BRIVEL_REQUIRE(s.t.sql(change));
        }
        const QString before = s.snapshot();

        const CliRun v = s.run("verificar", {"--json"});
        QCOMPARE(v.code, verificarCode);
        const CliRun i = s.run("instalar", {"--json"});
        QCOMPARE(i.json()["resultado"].toString(), instalar);
        QCOMPARE(i.code, instalarCode);
        if (instalar != "instalada")
            QCOMPARE(s.snapshot(), before);  // found as it was, left as it was
        if (instalar == "incompleta") {
            QCOMPARE(Strings(i.json()["tabelas_ausentes"]), Strings(v.json()["tabelas_ausentes"]));
            QCOMPARE(Strings(i.json()["tabelas_encontradas"]), Strings(v.json()["tabelas_encontradas"]));
            QVERIFY(i.errText().contains(QStringLiteral("use: setupbriveldb-cli instalar --completar")));
        }
        // After instalar, verificar says installed exactly when instalar said so.
        const CliRun after = s.run("verificar");
        QCOMPARE(after.code == 0, instalarCode == 0);
    }

    // A partial structure: left by a session ended mid-run where DDL commits by
    // itself, made by hand elsewhere; a row of the user's in one of its tables.
    void completesOnlyWhatIsMissing_data() { AddDatabaseKinds(); }
    void completesOnlyWhatIsMissing()
    {
        QFETCH(int, kind);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        if (kind == tbMySQL || kind == tbFirebird) {
            BRIVEL_REQUIRE(InstallUntilSessionKilled(s.t, 3));
        } else {
            BRIVEL_REQUIRE(s.createAsTheScript("API_CONFIG"));
            BRIVEL_REQUIRE(s.createAsTheScript("API_ROTAS"));
        }
        QCOMPARE(s.t.brivelTables(), (QStringList{"API_CONFIG", "API_ROTAS"}));
        BRIVEL_REQUIRE(s.t.sql("INSERT INTO API_ROTAS (ID_ROTA, ROTA, METODO) VALUES (7, '/clientes', 'GET');"));

        CliRun r = s.run("instalar");
        QCOMPARE(r.code, 1);
        QVERIFY(r.errText().contains(QStringLiteral("instalar --completar")));
        QCOMPARE(s.t.brivelTables(), (QStringList{"API_CONFIG", "API_ROTAS"}));

        r = s.run("instalar", {"--completar", "--json"});
        QVERIFY2(r.code == 0, r.err.constData());
        const QJsonObject j = r.json();
        QCOMPARE(j["resultado"].toString(), QStringLiteral("completada"));
        const QStringList created{"API_ROTA_PARAMETROS", "API_USUARIOS", "API_LOG_CHAMADAS", "API_SEQUENCIAIS"};
        QCOMPARE(Strings(j["tabelas_criadas"]), created);
        QCOMPARE(Strings(j["registros_inseridos"]), kSeedRows);
        QStringList named;
        for (const QString& line : r.messages())
            if (line.startsWith(QStringLiteral("Tabela ")) && line.endsWith(QStringLiteral(" criada.")))
                named << line.section(' ', 1, 1);
            else if (line.startsWith(QStringLiteral("Registro inicial inserido: ")))
                named << line.mid(27).chopped(1);
        QCOMPARE(named, created + kSeedRows);
        QCOMPARE(r.messages().last(2),
                 (QStringList{"Estrutura completada com sucesso.", "Conexão encerrada."}));

        QCOMPARE(s.run("verificar").code, 0);
        QCOMPARE(s.t.brivelTables(), AllBrivelTables());
        QCOMPARE(s.t.scalar("SELECT ROTA FROM API_ROTAS WHERE ID_ROTA = 7;"), QStringLiteral("/clientes"));
        // Counters start after what the tables hold.
        QCOMPARE(s.t.scalar("SELECT ULTIMO_ID FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_ROTAS';"),
                 QStringLiteral("7"));
        QCOMPARE(s.t.scalar("SELECT ULTIMO_ID FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_CONFIG';"),
                 QStringLiteral("1"));
        QCOMPARE(s.t.scalar("SELECT COUNT(*) FROM API_SEQUENCIAIS WHERE ULTIMO_ID = 0;"), QStringLiteral("3"));
        QCOMPARE(s.t.scalar("SELECT URL_BASE FROM API_CONFIG WHERE ID_CONFIG = 1;"),
                 QStringLiteral("http://localhost:9000"));

        r = s.run("instalar", {"--completar", "--json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.json()["resultado"].toString(), QStringLiteral("ja_instalada"));
    }

    // The last statement fails (a rule of the user's on API_SEQUENCIAIS refuses the
    // counters): the two tables the run created go, and the rows it inserted.
    void completionFailingMidwayLeavesTheDatabaseAsBefore_data() { AddDatabaseKinds(); }
    void completionFailingMidwayLeavesTheDatabaseAsBefore()
    {
        QFETCH(int, kind);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        QCOMPARE(s.run("instalar").code, 0);
        BRIVEL_REQUIRE(s.t.sql("DROP TABLE API_USUARIOS;"));
        BRIVEL_REQUIRE(s.t.sql("DROP TABLE API_LOG_CHAMADAS;"));
        BRIVEL_REQUIRE(s.t.sql("DROP TABLE API_SEQUENCIAIS;"));
        BRIVEL_REQUIRE(s.t.sql("DELETE FROM API_CONFIG;"));
        BRIVEL_REQUIRE(s.t.sql("CREATE TABLE API_SEQUENCIAIS (NOME_TABELA VARCHAR(50) NOT NULL, ULTIMO_ID INTEGER, "
                               "CONSTRAINT CK_NADA CHECK (ULTIMO_ID < 0));"));
        BRIVEL_REQUIRE(s.t.sql("INSERT INTO API_ROTAS (ID_ROTA, ROTA, METODO) VALUES (7, '/clientes', 'GET');"));
        const QString before = s.snapshot();

        const CliRun r = s.run("instalar", {"--completar", "--json"});
        QCOMPARE(r.code, 1);
        const QJsonObject j = r.json();
        QCOMPARE(j["resultado"].toString(), QStringLiteral("falha"));
        QVERIFY2(j["erro"].toString().startsWith(QStringLiteral("Erro ao completar estrutura:\r\n\r\n")),
                 r.err.constData());
        QVERIFY(j["erro"].toString().endsWith(QStringLiteral("O que esta execução criou foi desfeito; o banco está como antes.")));
        QCOMPARE(j["desfeito"].toBool(), true);
        QVERIFY(r.messages().contains(QStringLiteral("Registro inicial inserido: API_CONFIG (ID_CONFIG = 1).")));
        if (kind == tbMySQL || kind == tbFirebird)
            QCOMPARE(Strings(j["tabelas_removidas"]), (QStringList{"API_LOG_CHAMADAS", "API_USUARIOS"}));
        QCOMPARE(s.snapshot(), before);
    }

    // Someone else's API_USUARIOS: partial, and not completed around it.
    void tableLackingColumnsIsRefused_data() { AddDatabaseKinds(); }
    void tableLackingColumnsIsRefused()
    {
        QFETCH(int, kind);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        BRIVEL_REQUIRE(s.t.sql("CREATE TABLE api_usuarios (id INTEGER, Nome VARCHAR(20), login VARCHAR(20));"));
        BRIVEL_REQUIRE(s.t.sql("INSERT INTO api_usuarios (id, Nome, login) VALUES (7, 'cliente', 'c');"));
        const QString before = s.snapshot();

        CliRun r = s.run("verificar");
        QCOMPARE(r.code, 4);
        r = s.run("instalar", {"--completar", "--json"});
        QCOMPARE(r.code, 1);
        const QJsonObject j = r.json();
        QCOMPARE(j["resultado"].toString(), QStringLiteral("colunas_ausentes"));
        const QStringList missing{"ID_USUARIO_API", "TOKEN_API", "ATIVO", "PERMISSAO", "DT_CADASTRO",
                                  "DT_ULTIMO_ACESSO"};
        QCOMPARE(Strings(j["colunas_ausentes"].toObject()["API_USUARIOS"]), missing);
        QVERIFY2(r.errText().contains("\nAPI_USUARIOS: faltam as colunas " + missing.join(", ") + ".\n"),
                 r.err.constData());
        QVERIFY(r.errText().contains(QStringLiteral("Nada foi criado nem removido.")));
        QVERIFY(!r.messages().contains(QStringLiteral("Completando a estrutura do Brivel...")));
        QCOMPARE(s.snapshot(), before);
    }
};

QTEST_GUILESS_MAIN(CliCompleteTest)
#include "test_cli_complete.moc"
