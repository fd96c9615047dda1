// The window under a real window manager (openbox on a virtual X server, see
// with_openbox.sh): the frame is only known after the window is shown.
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QScreen>
#include <QtTest>

using namespace brivel::test;

class WindowManagerTest : public QObject {
    Q_OBJECT
private slots:
    void outerSizeIsTheFramedWindowCentredAsAWhole()
    {
        Wizard wz;
        TFrmSetupBrivelDB& w = wz.window();
        QTRY_VERIFY_WITH_TIMEOUT(w.frameGeometry().size() != w.geometry().size(), 30000);
        QTRY_COMPARE(w.frameGeometry().size(), QSize(800, 450));
        const QPoint screenCentre = w.screen()->availableGeometry().center();
        QTRY_VERIFY2((w.frameGeometry().center() - screenCentre).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                    .arg(w.frameGeometry().x())
                                    .arg(w.frameGeometry().y())
                                    .arg(w.frameGeometry().width())
                                    .arg(w.frameGeometry().height())));
        // What the user does with the window afterwards is kept.
        w.resize(w.size() + QSize(40, 30));
        QTRY_COMPARE(w.frameGeometry().size(), QSize(840, 480));
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    brivel::ui::Application app(argc, argv);
    WindowManagerTest tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "test_window_manager.moc"
