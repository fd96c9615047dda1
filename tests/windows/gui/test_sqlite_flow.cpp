// The SQLite flow through the real window on Windows: "Testar Conexão", configApi.ini
// as Windows' own profile functions read it, the script saved into a folder whose
// name is not ASCII, "Criar Estrutura", and the database read back through sqlite3.dll.
#include "core/SchemaScript.h"
#include "support/ModalBoxes.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QtTest>
#include <sqlite3.h>
#include <windows.h>

using namespace brivel;
using namespace brivel::test;

namespace {

QString Profile(const QString& file, const wchar_t* section, const wchar_t* key)
{
    const std::wstring path = QDir::toNativeSeparators(file).toStdWString();
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());  // no cached copy
    wchar_t value[4096];
    const DWORD n = GetPrivateProfileStringW(section, key, L"<ausente>", value, 4096, path.c_str());
    return QString::fromWCharArray(value, static_cast<int>(n));
}

// The Brivel tables of a SQLite file, sorted, as SQLite itself lists them.
QStringList Tables(const QString& file)
{
    sqlite3* db = nullptr;
    QStringList out;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        out << QStringLiteral("<open failed: %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)));
    } else {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))).toUpper();
            if (name.startsWith(QLatin1String("API_")))
                out << name;
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    out.sort();
    return out;
}

// With BRIVEL_SCREENSHOTS set to a folder, the window as it is drawn at each step.
void Shot(Wizard& wz, const char* name)
{
    const QString folder = qEnvironmentVariable("BRIVEL_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QCoreApplication::processEvents();
    if (!wz.window().grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png")))
        qWarning("could not save the screenshot %s", name);
}

} // namespace

class SqliteFlowTest : public QObject {
    Q_OBJECT
private slots:
    // On the windows platform too (screenshots): Qt's own file dialog, which the test answers.
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void connectionIniExportAndInstallation()
    {
        Wizard wz;
        Shot(wz, "1-boas-vindas");
        const QString dataFolder = wz.exeFolder().file(QStringLiteral("Dados da Instalação"));
        QVERIFY(QDir().mkpath(dataFolder));
        // As an administrator types it: a Windows path.
        const QString database = QDir::toNativeSeparators(dataFolder + QStringLiteral("/cadastro ção.db"));

        wz.click("btnAvancar");
        wz.click("btnAvancar");
        wz.selectKind(tbSQLite);
        wz.edit("edtDatabase")->setText(database);
        Shot(wz, "2-conexao-sqlite");
        {
            ModalBoxes boxes;
            wz.click("btnTestarConexao");
            QVERIFY2(boxes.seen.isEmpty(), boxes.seen.isEmpty() ? "" : qPrintable(boxes.seen[0].message));
        }
        QCOMPARE(wz.label("lblStatusConexao")->text(),
                 QStringLiteral("Conexão realizada com sucesso. configApi.ini criado."));
        QVERIFY(QFileInfo::exists(database));
        Shot(wz, "3-instalacao");

        const QString ini = wz.exeFolder().file(QStringLiteral("configApi.ini"));
        QCOMPARE(Profile(ini, L"BANCO", L"Tipo"), QStringLiteral("SQLITE"));
        QCOMPARE(Profile(ini, L"BANCO", L"Banco"), database);
        QCOMPARE(Profile(ini, L"BANCO", L"Charset"), QStringLiteral("UTF8"));
        QCOMPARE(Profile(ini, L"BANCO", L"UseSSL"), QStringLiteral("0"));
        QCOMPARE(Profile(ini, L"API", L"Porta"), QStringLiteral("9000"));

        const QString exportFolder = wz.exeFolder().file(QStringLiteral("Exportação ç"));
        QVERIFY(QDir().mkpath(exportFolder));
        const QString exported = exportFolder + QStringLiteral("/criação.sql");
        {
            FileDialogAnswer answer(exported);
            ModalBoxes boxes;
            wz.click("btnSalvarScript");
            QVERIFY(answer.shown());
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].message, QStringLiteral("Script salvo com sucesso."));
        }
        QCOMPARE(ReadFile(exported), QByteArray("\xEF\xBB\xBF") + QByteArray::fromStdString(ScriptFor(tbSQLite)));

        {
            ModalBoxes boxes;
            wz.click("btnCriarEstrutura");
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].icon, QMessageBox::Information);
            QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        }
        QCOMPARE(wz.pageName(), QStringLiteral("TabFinal"));
        QVERIFY(wz.logMessages().contains(QStringLiteral("Estrutura criada com sucesso.")));
        {
            // Again: the structure is found, and the log says so ("já", whose "j" the
            // log once lost under Wine).
            ModalBoxes boxes;
            wz.click("btnCriarEstrutura");
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].message, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
        }
        QVERIFY(wz.logMessages().contains(QStringLiteral("A estrutura aparenta já estar instalada.")));
        Shot(wz, "4-final");
        QStringList expected;
        for (const char* name : kBrivelTables)
            expected << QString::fromLatin1(name);
        expected.sort();
        QCOMPARE(Tables(database), expected);
    }
};

BRIVEL_GUI_TEST_MAIN(SqliteFlowTest)
#include "test_sqlite_flow.moc"
