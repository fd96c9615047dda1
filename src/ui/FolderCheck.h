#pragma once
#include <QString>
#include <QStringList>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

class QWidget;

namespace brivel::ui {

// At start-up, before anything is typed: when configApi.ini cannot be written
// into the program's folder, a box names the folder and the reason and offers
// the platform's way out (Windows: restart as administrator; Linux: how to run
// it with the rights needed). False when an elevated copy was started and this
// one should end; true to go on (the connection test then fails with its reason).
bool CheckProgramFolder(QWidget* parent);

// The same, once the window's event loop runs; ends the loop when it returns false.
void CheckProgramFolderWhenShown(QWidget* window);

// The box's text; `remedy` is the platform's last paragraph.
QString FolderProblemText(const QString& folder, const QString& reason, const QString& remedy);

#ifdef _WIN32
// A command line that gives the program these arguments (CommandLineToArgvW's rules).
QString WindowsCommandLine(const QStringList& arguments);

// The call that starts the elevated copy; tests put a recorder in its place.
using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
void SetShellExecuteExForTests(ShellExecuteExFunction function);  // nullptr: Windows' own
#endif

} // namespace brivel::ui
