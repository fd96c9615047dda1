#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/LocalClients.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <QtTest>

using namespace brivel;

using brivel::test::ErrorOf;

namespace {
// A client must match the program's architecture, not the system's.
const QString kArch = QStringLiteral("de %1 bits (a mesma arquitetura deste programa)").arg(QT_POINTER_SIZE * 8);
} // namespace

class LocalClientsTest : public QObject {
    Q_OBJECT
private slots:
    void postgresNeedsItsLibraryAndPrependsEveryTime()
    {
        test::TempFolder dir;
        const std::string folder = dir.path().toStdString();
        SetEnv("PATH", "/usr/bin");
        QCOMPARE(ErrorOf([&] { PreparePostgreSQLClient(folder); }),
                 QStringLiteral("Não foi encontrado libpq.so.5 em:\r\n") + dir.file("libpq.so.5") +
                     QStringLiteral("\r\nCopie a libpq.so.5 ") + kArch +
                     QStringLiteral(", com as bibliotecas de que ela depende, para a pasta do EXE."));
        QCOMPARE(GetEnv("PATH"), std::string("/usr/bin"));  // nothing changed before the check
        QDir().mkdir(dir.file("libpq.so.5"));                 // a folder is not the library
        QVERIFY(!ErrorOf([&] { PreparePostgreSQLClient(folder); }).isEmpty());
        QDir().rmdir(dir.file("libpq.so.5"));
        dir.write("libpq.so.5", "x");
        for (int i = 0; i < 3; ++i)
            QCOMPARE(PreparePostgreSQLClient(folder).libraryPath, folder + "libpq.so.5");
        QCOMPARE(GetEnv("PATH"), folder + ":" + folder + ":" + folder + ":/usr/bin");
        ::unsetenv("PATH");
        PreparePostgreSQLClient(folder);
        QCOMPARE(GetEnv("PATH"), folder + ":");
    }

    void oracleNeedsBothFiles()
    {
        test::TempFolder dir;
        const std::string folder = dir.path().toStdString();
        const QString ociMissing = QStringLiteral("Não foi encontrado o arquivo libclntsh.so na pasta do sistema.\r\n"
                                                  "Copie o Oracle Instant Client ") +
                                   kArch + QStringLiteral(" para a pasta do EXE.");
        dir.write("libociei.so", "x");
        QCOMPARE(ErrorOf([&] { PrepareOracleClient(folder); }), ociMissing);
        QFile::remove(dir.file("libociei.so"));
        dir.write("libclntsh.so", "x");
        dir.write("oraociei23.dll", "x");
        QCOMPARE(ErrorOf([&] { PrepareOracleClient(folder); }),
                 QStringLiteral("Não foi encontrado o arquivo libociei.so na pasta do sistema.\r\n"
                                "Copie o Oracle Instant Client completo para a pasta do EXE."));
        dir.write("libociicus.so", "x");  // Basic Light serves too
        const LocalClientSetup s = PrepareOracleClient(folder);
        QCOMPARE(s.libraryPath, folder + "libclntsh.so");
        QCOMPARE(s.homeFolder, folder);
    }

    void oraclePathRule_data()
    {
        // {F}: the program folder with its separator; {U}: the same fully upper-cased; {N}: without the separator.
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("prepended");
        QTest::newRow("absent") << "api" << "/usr/bin" << true;
        QTest::newRow("other letter case counts") << "api" << "/usr/bin:{U}" << false;
        QTest::newRow("accented letters compared as they are") << "Instalação" << "/usr/bin:{U}" << true;
        QTest::newRow("without the trailing separator") << "api" << "/usr/bin:{N}" << true;
        QTest::newRow("a subfolder holds the text") << "api" << "{F}bin:/usr/bin" << false;
        QTest::newRow("unset") << "api" << "" << true;
    }

    void oraclePathRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(bool, prepended);
        test::TempFolder dir;
        const QString folder = dir.path() + name + QLatin1Char('/');
        QVERIFY(QDir().mkdir(folder));
        QFile(folder + "libclntsh.so").open(QIODevice::WriteOnly);
        QFile(folder + "libociei.so").open(QIODevice::WriteOnly);
        path.replace(QStringLiteral("{F}"), folder)
            .replace(QStringLiteral("{U}"), folder.toUpper())
            .replace(QStringLiteral("{N}"), folder.chopped(1));
        SetEnv("PATH", path.toStdString());
        PrepareOracleClient(folder.toStdString());
        PrepareOracleClient(folder.toStdString());  // twice: at most once
        QCOMPARE(QString::fromStdString(GetEnv("PATH")), prepended ? folder + ':' + path : path);
    }
};

QTEST_APPLESS_MAIN(LocalClientsTest)
#include "test_local_clients.moc"
