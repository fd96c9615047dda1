// The program block of SetupBrivelDB with a first-paint probe on its window.
#include "FirstPaint.h"
#include "UFrmSetupBrivelDB.h"
#include "ui/Application.h"
#include "ui/FolderCheck.h"
#include "ui/PngIcon.h"

int main(int argc, char** argv)
{
    brivel::ui::Application app(argc, argv);
    QApplication::setWindowIcon(brivel::ui::PngIcon(QStringLiteral(":/res/SetupBrivelDB.png")));
    {
        TFrmSetupBrivelDB window;
        FrmSetupBrivelDB = &window;
        new brivel::bench::FirstPaint(&window);
        window.show();
        brivel::ui::CheckProgramFolderWhenShown(&window);
        app.exec();
    }
    return 0;
}
