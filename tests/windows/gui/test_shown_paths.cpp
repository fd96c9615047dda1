// Paths the window shows on Windows are written with "\": in the program's folder
// as Qt names it ("C:/users/..."), which is how the tests and a "/" typed by the
// user reach the window.
#include "support/ModalBoxes.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QDir>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class ShownPathsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Wizard().exeFolder().path().contains(u'/')); }

    void sqliteDefaultFileAndTheLogLine()
    {
        Wizard wz;
        wz.click("btnAvancar");
        wz.click("btnAvancar");
        wz.selectKind(tbSQLite);
        const QString database = wz.edit("edtDatabase")->text();
        QCOMPARE(database, QDir::toNativeSeparators(wz.exeFolder().file(QStringLiteral("brivel.db"))));
        QVERIFY2(!database.contains(u'/'), qPrintable(database));
        {
            ModalBoxes boxes;
            wz.click("btnTestarConexao");
            QVERIFY2(boxes.seen.isEmpty(), boxes.seen.isEmpty() ? "" : qPrintable(boxes.seen[0].message));
        }
        const QString ini = QDir::toNativeSeparators(wz.exeFolder().file(QStringLiteral("configApi.ini")));
        QVERIFY(wz.logMessages().contains(QStringLiteral("Arquivo configApi.ini criado em: ") + ini));
        for (const QString& line : wz.logMessages())
            QVERIFY2(!line.contains(u'/'), qPrintable(line));
    }

    // configApi.ini cannot be written (a folder has its name): the box names it.
    void configFileNotWritten()
    {
        Wizard wz;
        QVERIFY(QDir().mkdir(wz.exeFolder().file(QStringLiteral("configApi.ini"))));
        const auto shown = wz.testConnection(tbSQLite, {{}, {}, wz.exeFolder().file(QStringLiteral("brivel.db")), {}, {}});
        QCOMPARE(shown.size(), 1);
        const QString ini = QDir::toNativeSeparators(wz.exeFolder().file(QStringLiteral("configApi.ini")));
        QVERIFY2(shown[0].message.contains(ini), qPrintable(shown[0].message));
        QVERIFY2(!shown[0].message.contains(u'/'), qPrintable(shown[0].message));
    }
};

BRIVEL_GUI_TEST_MAIN(ShownPathsTest)
#include "test_shown_paths.moc"
