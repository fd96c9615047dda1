// " Copiar Script" and "Salvar Script": the text of memScript, as shown or edited.
#include "core/SchemaScript.h"
#include "support/FullFileSystem.h"
#include "support/ModalBoxes.h"
#include "support/ReadOnlyFolder.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"

#include <QClipboard>
#include <memory>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {
const QByteArray kBom("\xEF\xBB\xBF");

// A successful SQLite test shows the export buttons and the script.
void Connect(Wizard& wz)
{
    const auto boxes = wz.testConnection(tbSQLite, {{}, {}, wz.exeFolder().file("brivel.db"), {}, {}});
    QVERIFY2(boxes.isEmpty(), boxes.isEmpty() ? "" : qPrintable(boxes[0].message));
}

// Typed key by key, any character (QTest::keyClicks takes Latin-1 only).
void Type(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        const bool enter = c == QLatin1Char('\n');
        QKeyEvent press(QEvent::KeyPress, enter ? Qt::Key_Return : Qt::Key_unknown, Qt::NoModifier,
                        enter ? QString() : QString(c));
        QCoreApplication::sendEvent(w, &press);
    }
}

void SetScript(Wizard& wz, const QString& text)
{
    QPlainTextEdit* m = wz.memo("memScript");
    m->selectAll();
    QTest::keyClick(m, Qt::Key_Delete);
    Type(m, text);
}
} // namespace

class ExportTest : public QObject {
    Q_OBJECT
private slots:
    void generatedScriptSavedByteForByte()
    {
        Wizard wz;
        Connect(wz);
        const QString path = wz.exeFolder().file("saida.sql");
        FileDialogAnswer answer(path);
        ModalBoxes boxes;
        wz.click("btnSalvarScript");
        QVERIFY(answer.shown());
        QCOMPARE(answer.suggestedName, QStringLiteral("brivel_sqlite.sql"));
        QCOMPARE(answer.nameFilters, QStringList{QStringLiteral("Arquivo SQL (*.sql)")});
        QCOMPARE(answer.defaultSuffix, QStringLiteral("sql"));
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("Script salvo com sucesso."));
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Information"));
        const QByteArray bytes = ReadFile(path);
        QCOMPARE(bytes, kBom + QByteArray::fromStdString(ScriptFor(tbSQLite)));
        QVERIFY(bytes.endsWith("'API_CONFIG';"));

        // An existing file is replaced without a question.
        SetScript(wz, QStringLiteral("x"));
        FileDialogAnswer again(path);
        wz.click("btnSalvarScript");
        QCOMPARE(ReadFile(path), kBom + "x");
    }

    void editedTextIsExportedAsTyped()
    {
        Wizard wz;
        Connect(wz);
        SetScript(wz, QStringLiteral("SELECT 'ação € ü';\n-- fim"));
        const QString typed = QStringLiteral("SELECT 'ação € ü';\r\n-- fim");
        {
            ModalBoxes boxes;
            wz.click("btnCopiarScript");
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].message, QStringLiteral("Script copiado para a área de transferência."));
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), typed);
        const QString path = wz.exeFolder().file("editado.sql");
        FileDialogAnswer answer(path);
        ModalBoxes boxes;
        wz.click("btnSalvarScript");
        QCOMPARE(ReadFile(path), kBom + typed.toUtf8());
    }

    void emptiedScript()
    {
        Wizard wz;
        Connect(wz);
        wz.memo("memScript")->clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("antes"));
        ModalBoxes boxes;
        wz.click("btnCopiarScript");
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
        const QString path = wz.exeFolder().file("vazio.sql");
        FileDialogAnswer answer(path);
        wz.click("btnSalvarScript");
        QCOMPARE(ReadFile(path), kBom);
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[1].message, QStringLiteral("Script salvo com sucesso."));
    }

    void suggestedNameFollowsTheKindAtTheClick_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("MySQL") << 0 << "brivel_mysql.sql";
        QTest::newRow("Firebird") << 1 << "brivel_firebird.sql";
        QTest::newRow("Oracle") << 2 << "brivel_oracle.sql";
        QTest::newRow("SQL Server") << 3 << "brivel_sql_server.sql";
        QTest::newRow("SQLite") << 4 << "brivel_sqlite.sql";
        QTest::newRow("PostgreSQL") << 5 << "brivel_postgresql.sql";
    }

    void suggestedNameFollowsTheKindAtTheClick()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        Wizard wz;
        Connect(wz);
        wz.click("btnVoltar");
        wz.selectKind(kind == 4 ? 0 : kind);
        if (kind == 4)
            wz.selectKind(4);
        const QStringList before = QDir(wz.exeFolder().path()).entryList(QDir::Files);
        FileDialogAnswer cancel{QString()};  // cancelling writes and shows nothing
        ModalBoxes boxes;
        wz.click("btnSalvarScript");
        QVERIFY(cancel.shown());
        QCOMPARE(cancel.suggestedName, name);
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(QDir(wz.exeFolder().path()).entryList(QDir::Files), before);
    }

    void nameWithoutExtensionGetsSql()
    {
        Wizard wz;
        Connect(wz);
        FileDialogAnswer answer(wz.exeFolder().file("meu_script"));
        ModalBoxes boxes;
        wz.click("btnSalvarScript");
        QVERIFY(QFileInfo::exists(wz.exeFolder().file("meu_script.sql")));
        QVERIFY(!QFileInfo::exists(wz.exeFolder().file("meu_script")));
    }

#ifndef _WIN32  // a read-only bind mount or a small full file system: Linux only
    void failedSaveKeepsTheOldFileAndNamesPathAndReason_data()
    {
        QTest::addColumn<bool>("full");      // a full file system; else a read-only folder
        QTest::addColumn<bool>("existing");  // the chosen file exists already
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only folder, new name") << false << false << "Read-only file system";
        // Qt's own texts come in Portuguese (its translation is installed with the program).
        QTest::newRow("read-only folder, existing file") << false << true << "não pode ser gravado";
        QTest::newRow("full disk, existing file") << true << true << "Não há mais espaço no dispositivo";
        QTest::newRow("full disk, new name") << true << false << "Não há mais espaço no dispositivo";
    }

    void failedSaveKeepsTheOldFileAndNamesPathAndReason()
    {
        QFETCH(bool, full);
        QFETCH(bool, existing);
        QFETCH(QString, reason);
        Wizard wz;
        Connect(wz);
        const QByteArray old = kBom + "-- versão anterior, que deve sobreviver\r\nSELECT 1;";

        TempFolder plain;
        std::unique_ptr<FullFileSystem> small;
        std::unique_ptr<ReadOnlyFolder> readOnly;
        if (full) {
            small = std::make_unique<FullFileSystem>();
            QVERIFY2(small->ok(), qPrintable(small->error()));
        }
        const QString folder = full ? small->path() : plain.path();
        const QString target = folder + QStringLiteral("brivel_sqlite.sql");
        if (existing) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        }
        if (full) {
            QVERIFY(small->fill());
        } else {
            readOnly = std::make_unique<ReadOnlyFolder>(plain.path());
            QVERIFY2(readOnly->ok(), qPrintable(readOnly->error()));
        }
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        FileDialogAnswer answer(target);
        ModalBoxes boxes;
        wz.click("btnSalvarScript");
        QVERIFY(answer.shown());
        QCOMPARE(boxes.seen.size(), 1);
        const QString message = boxes.seen[0].message;
        QVERIFY2(message.contains(target) && message.contains(reason), qPrintable(message));
        QCOMPARE(boxes.seen[0].title, ui::ApplicationTitle());
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY2(!message.contains(QStringLiteral("Unknown error")), qPrintable(message));
        // The old file whole, no new one, no temporary file left behind.
        QCOMPARE(QFileInfo::exists(target), existing);
        if (existing)
            QCOMPARE(ReadFile(target), old);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }
#endif
};

BRIVEL_GUI_TEST_MAIN(ExportTest)
#include "test_export.moc"
