#include "core/DbKind.h"
#include "core/SchemaScript.h"
#include "core/ScriptStructure.h"
#include "core/StatementSplitter.h"
#include "support/TempFolder.h"

#include <QtTest>

using namespace brivel;

namespace {
std::string MySqlFixture()
{
    const QByteArray bytes = test::ReadFile(QStringLiteral(BRIVEL_SOURCE_DIR "/tests/core/fixtures/script_mysql.sql"));
    return bytes.toStdString();
}

// The MySQL fixture turned into another kind's text by its dialect words, word by word.
std::string Derive(const std::string& mysql, const DialectWords& w)
{
    QString s = QString::fromStdString(mysql);
    s.replace(QStringLiteral("NOW()"), QStringLiteral("@NOW@"));
    s.replace(QStringLiteral("LONGTEXT"), QStringLiteral("@TEXT@"));
    s.replace(QStringLiteral("DATETIME"), QStringLiteral("@DT@"));
    s.replace(QStringLiteral("VARCHAR("), QStringLiteral("@VC@("));
    s.replace(QRegularExpression(QStringLiteral("\\bINT\\b")), QStringLiteral("@INT@"));
    s.replace(QStringLiteral("@NOW@"), QString::fromStdString(w.ANow));
    s.replace(QStringLiteral("@TEXT@"), QString::fromStdString(w.AText));
    s.replace(QStringLiteral("@DT@"), QString::fromStdString(w.ADateTime));
    s.replace(QStringLiteral("@VC@"), QString::fromStdString(w.AVarchar));
    s.replace(QStringLiteral("@INT@"), QString::fromStdString(w.AInt));
    return s.toStdString();
}

QStringList Lines(const std::string& script) { return QString::fromStdString(script).split(QStringLiteral("\r\n")); }
} // namespace

class SchemaScriptTest : public QObject {
    Q_OBJECT
private slots:
    void eachKindMatchesTheTemplate_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<QString>("line20");
        QTest::addColumn<QString>("line85End");
        QTest::newRow("MySQL") << int(tbMySQL) << "  ID_CONFIG INT NOT NULL," << "  SQL_COMANDO LONGTEXT,"
                               << "'S', 'S', NOW());";
        QTest::newRow("Firebird") << int(tbFirebird) << "  ID_CONFIG INTEGER NOT NULL,"
                                  << "  SQL_COMANDO BLOB SUB_TYPE TEXT," << "'S', 'S', CURRENT_TIMESTAMP);";
        QTest::newRow("Oracle") << int(tbOracle) << "  ID_CONFIG NUMBER(10) NOT NULL," << "  SQL_COMANDO CLOB,"
                                << "'S', 'S', CURRENT_TIMESTAMP);";
        QTest::newRow("SQL Server") << int(tbSQLServer) << "  ID_CONFIG INT NOT NULL,"
                                    << "  SQL_COMANDO VARCHAR(MAX)," << "'S', 'S', GETDATE());";
        QTest::newRow("SQLite") << int(tbSQLite) << "  ID_CONFIG INTEGER NOT NULL," << "  SQL_COMANDO TEXT,"
                                << "'S', 'S', CURRENT_TIMESTAMP);";
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL) << "  ID_CONFIG INTEGER NOT NULL,"
                                    << "  SQL_COMANDO TEXT," << "'S', 'S', CURRENT_TIMESTAMP);";
    }

    void eachKindMatchesTheTemplate()
    {
        QFETCH(int, kind);
        QFETCH(QString, line2);
        QFETCH(QString, line20);
        QFETCH(QString, line85End);
        const auto k = static_cast<TTipoBanco>(kind);
        const std::string script = ScriptFor(k);

        QCOMPARE(script, Derive(MySqlFixture(), DialectWordsFor(k)));
        const QStringList lines = Lines(script);
        QCOMPARE(lines.size(), 87);
        QVERIFY(!QString::fromStdString(script).endsWith(QStringLiteral("\r\n")));
        QCOMPARE(QString::fromStdString(script).count(QLatin1Char('\n')), 86);
        QCOMPARE(QString::fromStdString(script).count(QLatin1Char('\r')), 86);
        QCOMPARE(lines[1], line2);
        QCOMPARE(lines[19], line20);
        QVERIFY(lines[84].endsWith(line85End));
        QVERIFY(lines[84].contains(QStringLiteral("'http://localhost:9000'")));
        for (const QChar c : QString::fromStdString(script))
            QVERIFY(c.unicode() < 128 && (c.unicode() >= 32 || c == QLatin1Char('\r') || c == QLatin1Char('\n')));
        QCOMPARE(SplitStatements(script).size(), size_t(13));
        QCOMPARE(ScriptFor(k), script);  // no time of its own
    }

    void mySqlTextIsTheFixture() { QCOMPARE(ScriptFor(tbMySQL), MySqlFixture()); }

    void oracleUsesItsIntegerTypeEverywhere()
    {
        const QString s = QString::fromStdString(ScriptFor(tbOracle));
        QCOMPARE(s.count(QStringLiteral("NUMBER(10)")), 14);
        QVERIFY(s.contains(QStringLiteral("  PORTA NUMBER(10) DEFAULT 9000,")));
        QVERIFY(s.contains(QStringLiteral("  ULTIMO_ID NUMBER(10) DEFAULT 0,")));
        QVERIFY(s.contains(QStringLiteral("  URL_BASE VARCHAR2(200),")));
        QCOMPARE(s.count(QStringLiteral("CHAR(1)")), 7);
    }

    void wordsAreInsertedAsGiven()
    {
        const QString s = QString::fromStdString(GerarScriptPadrao("I", "V", "T", "D", "N"));
        QCOMPARE(s.count(QRegularExpression(QStringLiteral(" I[ ,]"))), 14);
        QCOMPARE(s.count(QStringLiteral(" V(")), 19);
        QCOMPARE(s.count(QStringLiteral(" T,")), 4);
        QCOMPARE(s.count(QStringLiteral(" D,")), 6);
        QVERIFY(s.contains(QStringLiteral("'S', 'S', N);")));
    }

    // What a completion creates and checks: every kind's tables with the same
    // columns and keys (whatever its type words), and the six seed rows by key.
    void structureOfEachKind_data()
    {
        QTest::addColumn<int>("kind");
        for (int i = 0; i < kKindCount; ++i)
            QTest::newRow(DisplayName(static_cast<TTipoBanco>(i))) << i;
    }
    void structureOfEachKind()
    {
        QFETCH(int, kind);
        const ScriptStructure st = StructureFor(static_cast<TTipoBanco>(kind));
        QStringList tables;
        for (const ScriptTable& t : st.tables)
            tables << QString::fromStdString(t.name + ": " + t.keyColumn + ": ") +
                          QString::fromStdString([&] {
                              std::string c;
                              for (const auto& col : t.columns)
                                  c += (c.empty() ? "" : " ") + col;
                              return c;
                          }());
        QCOMPARE(tables,
                 (QStringList{
                     "API_CONFIG: ID_CONFIG: ID_CONFIG PORTA URL_BASE USAR_TOKEN TOKEN_API TIMEOUT_SEGUNDOS "
                     "LIMITE_REGISTROS SALVAR_LOG ATIVO DT_CADASTRO",
                     "API_ROTAS: ID_ROTA: ID_ROTA ROTA METODO DESCRICAO SQL_COMANDO ATIVO REQUER_TOKEN RETORNO_TIPO "
                     "LIMITE_REGISTROS DT_CADASTRO DT_ALTERACAO",
                     "API_ROTA_PARAMETROS: ID_PARAMETRO: ID_PARAMETRO ID_ROTA NOME_PARAMETRO ORIGEM TIPO_DADO "
                     "OBRIGATORIO VALOR_PADRAO VALOR_TESTE ORDEM",
                     "API_USUARIOS: ID_USUARIO_API: ID_USUARIO_API NOME LOGIN TOKEN_API ATIVO PERMISSAO DT_CADASTRO "
                     "DT_ULTIMO_ACESSO",
                     "API_LOG_CHAMADAS: ID_LOG: ID_LOG DATA_HORA METODO ROTA IP_CLIENTE PARAMETROS BODY_REQUISICAO "
                     "STATUS_CODE TEMPO_MS ERRO",
                     "API_SEQUENCIAIS: NOME_TABELA: NOME_TABELA ULTIMO_ID"}));
        // Each table's statement is the script's own.
        const std::string script = ScriptFor(static_cast<TTipoBanco>(kind));
        for (const ScriptTable& t : st.tables)
            QVERIFY2(script.find(t.statement + ";") != std::string::npos, t.name.c_str());

        QStringList seeds;
        for (const SeedRow& r : st.seeds)
            seeds << QString::fromStdString(r.describe() + " | " + r.statement);
        const QString config = QString::fromStdString(st.seeds.at(0).statement);
        QVERIFY(script.find(st.seeds.at(0).statement + ";") != std::string::npos);
        QCOMPARE(seeds,
                 (QStringList{
                     "API_CONFIG (ID_CONFIG = 1) | " + config,
                     "API_SEQUENCIAIS (NOME_TABELA = 'API_CONFIG') | INSERT INTO API_SEQUENCIAIS (NOME_TABELA, "
                     "ULTIMO_ID) SELECT 'API_CONFIG', COALESCE(MAX(ID_CONFIG), 0) FROM API_CONFIG",
                     "API_SEQUENCIAIS (NOME_TABELA = 'API_ROTAS') | INSERT INTO API_SEQUENCIAIS (NOME_TABELA, "
                     "ULTIMO_ID) SELECT 'API_ROTAS', COALESCE(MAX(ID_ROTA), 0) FROM API_ROTAS",
                     "API_SEQUENCIAIS (NOME_TABELA = 'API_ROTA_PARAMETROS') | INSERT INTO API_SEQUENCIAIS "
                     "(NOME_TABELA, ULTIMO_ID) SELECT 'API_ROTA_PARAMETROS', COALESCE(MAX(ID_PARAMETRO), 0) FROM "
                     "API_ROTA_PARAMETROS",
                     "API_SEQUENCIAIS (NOME_TABELA = 'API_USUARIOS') | INSERT INTO API_SEQUENCIAIS (NOME_TABELA, "
                     "ULTIMO_ID) SELECT 'API_USUARIOS', COALESCE(MAX(ID_USUARIO_API), 0) FROM API_USUARIOS",
                     "API_SEQUENCIAIS (NOME_TABELA = 'API_LOG_CHAMADAS') | INSERT INTO API_SEQUENCIAIS "
                     "(NOME_TABELA, ULTIMO_ID) SELECT 'API_LOG_CHAMADAS', COALESCE(MAX(ID_LOG), 0) FROM "
                     "API_LOG_CHAMADAS"}));
        QVERIFY(config.startsWith("INSERT INTO API_CONFIG "));
    }
};

QTEST_APPLESS_MAIN(SchemaScriptTest)
#include "test_schema_script.moc"
