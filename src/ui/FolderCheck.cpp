#include "ui/FolderCheck.h"

#include "core/AppPaths.h"
#include "core/FolderAccess.h"
#include "ui/MessageBoxes.h"
#include "ui/QtTranslation.h"
#include "ui/TextConv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace brivel::ui {

namespace {

QString ShownFolder()
{
    QString folder = QDir::toNativeSeparators(Q(ExecutableFolder()));
    while (folder.size() > 1 && (folder.endsWith(QLatin1Char('\\')) || folder.endsWith(QLatin1Char('/'))) &&
           !folder.endsWith(QStringLiteral(":\\")))
        folder.chop(1);
    return folder;
}

#ifdef _WIN32
ShellExecuteExFunction& ShellExecuteExCall()
{
    static ShellExecuteExFunction call = nullptr;
    return call;
}

std::wstring Wide(const QString& text) { return text.toStdWString(); }

// Starts this program again with the "runas" verb (Windows asks for consent).
// Returns false when it did not start; `error` is empty when the user declined.
bool RestartAsAdministrator(QWidget* parent, QString& error)
{
    const std::wstring file = Wide(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    const std::wstring parameters = Wide(WindowsCommandLine(QCoreApplication::arguments().mid(1)));
    const std::wstring directory = Wide(QDir::toNativeSeparators(QDir::currentPath()));
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    if (parent && QGuiApplication::platformName() == QLatin1String("windows"))
        info.hwnd = reinterpret_cast<HWND>(parent->window()->winId());
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    const ShellExecuteExFunction call = ShellExecuteExCall() ? ShellExecuteExCall() : &ShellExecuteExW;
    if (call(&info))
        return true;
    const DWORD code = GetLastError();
    if (code != ERROR_CANCELLED)
        error = QStringLiteral("Não foi possível reiniciar o programa como administrador (código %1).").arg(code);
    return false;
}
#else
// How to start the program with the rights it needs: through the package's
// polkit action where it is installed, else with sudo.
QString LinuxRemedy()
{
    const QString exe = QCoreApplication::applicationFilePath();
    QFile policy(QStringLiteral("/usr/share/polkit-1/actions/br.com.brivel.setupbriveldb.policy"));
    const bool packaged = policy.open(QIODevice::ReadOnly) &&
                          QString::fromUtf8(policy.readAll()).contains(u'>' + exe.toHtmlEscaped() + u'<');
    const QString how = packaged ? QStringLiteral("pelo item \"Abrir como administrador\" do menu ou com o comando\n\n"
                                                  "    pkexec \"%1\"")
                                       .arg(exe)
                                 : QStringLiteral("com o comando\n\n    sudo -E \"%1\"").arg(exe);
    return QStringLiteral("Abra o programa como um usuário que possa gravar nessa pasta, por exemplo como "
                          "administrador, %1\n\nou dê ao seu usuário permissão de gravação na pasta.")
        .arg(how);
}
#endif

} // namespace

QString FolderProblemText(const QString& folder, const QString& reason, const QString& remedy)
{
    return QStringLiteral("O programa não pode gravar na pasta onde está:\n%1\n\nMotivo: %2.\n\n"
                          "O teste de conexão grava nessa pasta o arquivo configApi.ini, que a API lê.\n\n%3")
        .arg(folder, reason, remedy);
}

bool CheckProgramFolder(QWidget* parent)
{
    const QString reason = Q(ConfigFolderWriteProblem(ExecutableFolder()));
    if (reason.isEmpty())
        return true;
#ifdef _WIN32
    const QString message =
        FolderProblemText(ShownFolder(), reason, QStringLiteral("Deseja reiniciar o programa como administrador?"));
    LoadQtTranslation();  // before the buttons get our texts
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), BoxText(message), QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setProperty("message", message);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sim"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Não"));
    if (box.exec() != QMessageBox::Yes)
        return true;
    QString error;
    if (RestartAsAdministrator(parent, error))
        return false;
    if (!error.isEmpty())
        ShowError(parent, error);
    return true;
#else
    const QString message = FolderProblemText(ShownFolder(), reason, LinuxRemedy());
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), BoxText(message), QMessageBox::Ok, parent);
    box.setProperty("message", message);
    box.exec();
    return true;
#endif
}

namespace {
// Runs the check once, in the idle time after the window's first paint (or after
// a second if it never paints), so the window shows as fast without it.
class AfterFirstPaint : public QObject {
public:
    explicit AfterFirstPaint(QWidget* window) : QObject(window), window_(window)
    {
        window->installEventFilter(this);
        QTimer::singleShot(1000, this, [this] { schedule(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Paint)
            schedule();
        return false;
    }

private:
    void schedule()
    {
        if (scheduled_)
            return;
        scheduled_ = true;
        window_->removeEventFilter(this);
        QTimer::singleShot(0, window_, [w = QPointer<QWidget>(window_)] {
            if (w && !CheckProgramFolder(w))
                QCoreApplication::exit(0);
        });
    }

    QWidget* window_;
    bool scheduled_ = false;
};
} // namespace

void CheckProgramFolderWhenShown(QWidget* window) { new AfterFirstPaint(window); }

#ifdef _WIN32
QString WindowsCommandLine(const QStringList& arguments)
{
    QStringList parts;
    for (const QString& arg : arguments) {
        if (!arg.isEmpty() && !arg.contains(QRegularExpression(QStringLiteral("[ \t\n\v\"]")))) {
            parts << arg;
            continue;
        }
        QString quoted = QStringLiteral("\"");
        int backslashes = 0;
        for (QChar c : arg) {
            if (c == QLatin1Char('\\')) {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote escaped.
            quoted += QString(c == QLatin1Char('"') ? backslashes * 2 + 1 : backslashes, QLatin1Char('\\'));
            quoted += c;
            backslashes = 0;
        }
        quoted += QString(backslashes * 2, QLatin1Char('\\'));
        quoted += QLatin1Char('"');
        parts << quoted;
    }
    return parts.join(QLatin1Char(' '));
}

void SetShellExecuteExForTests(ShellExecuteExFunction function) { ShellExecuteExCall() = function; }
#endif

} // namespace brivel::ui
