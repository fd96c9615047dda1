// The SQLite adapter on real files: opening and creating, the failures of an
// open, and the two pragmas of the definition.
#include "support/DbFixtures.h"

#include "db/Connection.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class SqliteTest : public QObject {
    Q_OBJECT
private slots:
    void openCreatesTheFile();
    void openFailure_data();
    void openFailure();
    void pragmas_data();
    void pragmas();
};

void SqliteTest::openCreatesTheFile()
{
    TempFolder tmp;
    QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("ação")));
    const QString file = tmp.file(QStringLiteral("ação/configuração ç.db"));
    db::Connection c;
    DefineSqlite(c, file);
    BRIVEL_OK(c.open());
    QVERIFY(c.connected());
    BRIVEL_OK(c.execSQL("CREATE TABLE t (v INTEGER)"));
    c.close();
    QVERIFY(!c.connected());
    // The UTF-8 name reached the file system as that name.
    QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
    QString tables;
    BRIVEL_REQUIRE(RunSqliteSql(file, QStringLiteral("SELECT name FROM sqlite_master;"), &tables));
    QCOMPARE(tables, QStringLiteral("t"));
    BRIVEL_OK(c.open());
}

void SqliteTest::openFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents"); // written first unless null
    QTest::addColumn<QString>("locking");
    QTest::addColumn<QString>("mention");
    QTest::newRow("missing folder") << "nao/existe.db" << QByteArray() << "Normal" << "unable to open";
    QTest::newRow("not a database") << "texto.db" << QByteArray(4096, 'x') << "Normal" << "not a database";
    QTest::newRow("unknown locking mode") << "b.db" << QByteArray() << "Talvez; DROP" << "LockingMode";
}

void SqliteTest::openFailure()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(QString, locking);
    QFETCH(QString, mention);
    TempFolder tmp;
    if (!contents.isNull())
        tmp.write(name, contents);
    db::Connection c;
    DefineSqlite(c, tmp.file(name), locking);
    const QString message = ErrorOf([&] { c.open(); });
    QVERIFY2(!message.isNull(), "the connection opened");
    QVERIFY(!c.connected());
    QVERIFY2(message.contains(mention), qPrintable(message));
}

void SqliteTest::pragmas_data()
{
    QTest::addColumn<QString>("locking");
    QTest::addColumn<QString>("synchronous");
    QTest::addColumn<long long>("syncLevel");
    QTest::addColumn<bool>("exclusive");
    QTest::newRow("the wizard's Normal/Normal") << "Normal" << "Normal" << 1LL << false;
    QTest::newRow("Exclusive/Full") << "Exclusive" << "Full" << 2LL << true;
    QTest::newRow("lower case off") << "normal" << "off" << 0LL << false;
}

void SqliteTest::pragmas()
{
    QFETCH(QString, locking);
    QFETCH(QString, synchronous);
    QFETCH(long long, syncLevel);
    QFETCH(bool, exclusive);
    TempFolder tmp;
    const QString file = tmp.file(QStringLiteral("p.db"));
    db::Connection c;
    DefineSqlite(c, file, locking, synchronous);
    BRIVEL_OK(c.open());
    long long sync = -1, isExclusive = -1;
    BRIVEL_OK(sync = c.queryInt("SELECT synchronous QTD FROM pragma_synchronous WHERE :TABELA = 'x'", "TABELA", "x",
                                "QTD"));
    BRIVEL_OK(isExclusive = c.queryInt("SELECT locking_mode = 'exclusive' QTD FROM pragma_locking_mode "
                                       "WHERE :TABELA = 'x'",
                                       "TABELA", "x", "QTD"));
    QCOMPARE(sync, syncLevel);
    QCOMPARE(isExclusive == 1, exclusive);
    // In normal mode another process reads the file while the wizard keeps it open.
    BRIVEL_OK(c.execSQL("CREATE TABLE t (v INTEGER)"));
    const Outcome other = RunSqliteSql(file, QStringLiteral("SELECT count(*) FROM t;"));
    QVERIFY2(other.ok != exclusive, qPrintable(other.message));
}

QTEST_GUILESS_MAIN(SqliteTest)
#include "test_sqlite.moc"
