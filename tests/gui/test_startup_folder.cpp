// The start-up check of the program's folder: a folder the program cannot write
// is reported before anything is typed, with the way out.
#include "support/ModalBoxes.h"
#include "support/ReadOnlyFolder.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/FolderCheck.h"

#include <QDir>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class StartupFolderTest : public QObject {
    Q_OBJECT
private slots:
    void writableFolderShowsNothing()
    {
        Wizard wz;
        wz.exeFolder().write(QStringLiteral("configApi.ini"), "[API]\r\n");
        ModalBoxes boxes;
        QVERIFY(ui::CheckProgramFolder(&wz.window()));
        QTest::qWait(50);
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(QDir(wz.exeFolder().path()).entryList(QDir::Files | QDir::Hidden), QStringList{"configApi.ini"});
    }

    // Run as the program runs it: from the event loop once the window is up; the
    // box says where, why and what to do, and the window goes on.
    void readOnlyFolderIsReportedAtStart()
    {
        Wizard wz;
        ReadOnlyFolder readOnly(wz.exeFolder().path());
        QVERIFY2(readOnly.ok(), qPrintable(readOnly.error()));
        ModalBoxes boxes;
        ui::CheckProgramFolderWhenShown(&wz.window());
        QVERIFY(boxes.seen.isEmpty());  // not before the window's loop runs
        QTRY_COMPARE(boxes.seen.size(), 1);

        const ModalBoxes::Box& box = boxes.seen[0];
        QCOMPARE(box.icon, QMessageBox::Warning);
        QString folder = wz.exeFolder().path();
        folder.chop(1);
        QVERIFY2(box.message.startsWith(QStringLiteral("O programa não pode gravar na pasta onde está:\n") + folder +
                                        QStringLiteral("\n\nMotivo: o sistema de arquivos é somente leitura (EROFS).")),
                 qPrintable(box.message));
        QVERIFY2(box.message.contains(QStringLiteral("sudo -E \"") + QCoreApplication::applicationFilePath() + u'"'),
                 qPrintable(box.message));
        QVERIFY(wz.window().isVisible());
        QTest::qWait(50);
        QCOMPARE(boxes.seen.size(), 1);
    }
};

BRIVEL_GUI_TEST_MAIN(StartupFolderTest)
#include "test_startup_folder.moc"
