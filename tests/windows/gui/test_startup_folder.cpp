// The start-up check on Windows: a program folder the user may not write is
// reported with Windows' reason, and "Sim" asks Windows to start the program
// again elevated (ShellExecuteEx with the "runas" verb; recorded here, not run).
#include "core/AppPaths.h"
#include "support/ModalBoxes.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/FolderCheck.h"

#include <QAbstractButton>
#include <QDir>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

struct Request {
    QString verb, file, parameters, directory;
    int show = 0;
};
QList<Request> requests;
bool launchSucceeds = true;

BOOL WINAPI RecordShellExecuteEx(SHELLEXECUTEINFOW* info)
{
    auto text = [](const wchar_t* s) { return s ? QString::fromWCharArray(s) : QString(); };
    requests.append({text(info->lpVerb), text(info->lpFile), text(info->lpParameters), text(info->lpDirectory),
                     info->nShow});
    if (!launchSucceeds)
        SetLastError(ERROR_CANCELLED);  // the user said no to Windows' consent prompt
    return launchSucceeds ? TRUE : FALSE;
}

} // namespace

class StartupFolderTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        requests.clear();
        ui::SetShellExecuteExForTests(&RecordShellExecuteEx);
    }
    void cleanup() { ui::SetShellExecuteExForTests(nullptr); }

    void writableFolderShowsNothing()
    {
        Wizard wz;
        ModalBoxes boxes;
        QVERIFY(ui::CheckProgramFolder(&wz.window()));
        QTest::qWait(50);
        QVERIFY(boxes.seen.isEmpty());
        QVERIFY(requests.isEmpty());
    }

    void readOnlyFolder_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("launched");  // Windows started the elevated copy
        QTest::addColumn<bool>("goesOn");
        QTest::newRow("Sim: restarted elevated, this copy ends") << true << true << false;
        QTest::newRow("Sim, consent refused: goes on") << true << false << true;
        QTest::newRow("Não: goes on") << false << true << true;
    }
    void readOnlyFolder()
    {
        QFETCH(bool, yes);
        QFETCH(bool, launched);
        QFETCH(bool, goesOn);
        // scripts/test-windows-wizard.sh names a folder Wine may not write.
        const QString folder = qEnvironmentVariable("BRIVEL_READONLY_FOLDER");
        QVERIFY2(!folder.isEmpty(), "BRIVEL_READONLY_FOLDER is not set");
        Wizard wz;
        OverrideExecutableFolder(folder.toStdString());
        launchSucceeds = launched;
        ModalBoxes boxes;
        QStringList buttons;
        boxes.onBox = [&](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
        };
        boxes.answer = [&](QMessageBox*) { return yes ? QMessageBox::Yes : QMessageBox::No; };

        QCOMPARE(ui::CheckProgramFolder(&wz.window()), goesOn);

        QCOMPARE(boxes.seen.size(), 1);  // a refused consent is no error to report
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Warning);
        QString shown = QDir::toNativeSeparators(folder);
        while (shown.endsWith(u'\\'))
            shown.chop(1);
        QCOMPARE(boxes.seen[0].message,
                 QStringLiteral("O programa não pode gravar na pasta onde está:\n%1\n\nMotivo: acesso negado (código 5)."
                                "\n\nO teste de conexão grava nessa pasta o arquivo configApi.ini, que a API lê.\n\n"
                                "Deseja reiniciar o programa como administrador?")
                     .arg(shown));
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("Não"), QStringLiteral("Sim")}));
        if (!yes) {
            QVERIFY(requests.isEmpty());
            return;
        }
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].verb, QStringLiteral("runas"));
        QCOMPARE(requests[0].file, QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
        QCOMPARE(requests[0].parameters, ui::WindowsCommandLine(QCoreApplication::arguments().mid(1)));
        QCOMPARE(requests[0].show, SW_SHOWNORMAL);
    }

    // The elevated copy gets the same arguments: CommandLineToArgvW reads them back.
    void commandLineRoundTrip_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("plain") << QStringList{QStringLiteral("-platform"), QStringLiteral("windows")};
        QTest::newRow("blanks, quotes, backslashes")
            << QStringList{QStringLiteral("C:\\Brivel\\API Ção\\"), QStringLiteral("a\"b"), QStringLiteral("x\\\\\"y"),
                           QString(), QStringLiteral("tab\there")};
    }
    void commandLineRoundTrip()
    {
        QFETCH(QStringList, arguments);
        const std::wstring line = (QStringLiteral("prog.exe ") + ui::WindowsCommandLine(arguments)).toStdWString();
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        QVERIFY(argv);
        QStringList back;
        for (int i = 1; i < count; ++i)
            back << QString::fromWCharArray(argv[i]);
        LocalFree(argv);
        QCOMPARE(back, arguments);
    }
};

BRIVEL_GUI_TEST_MAIN(StartupFolderTest)
#include "test_startup_folder.moc"
