// The program block: start the application, create the wizard window, run the loop.
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
        window.show();
        brivel::ui::CheckProgramFolderWhenShown(&window);
        app.exec();
    }
    return 0;
}
