#pragma once
#include "support/DatabaseTarget.h"
#include "support/TempFolder.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QStringList>

namespace brivel::test {

// One run of the command-line program.
struct CliRun {
    int code = -1;
    QByteArray out, err;
    // The log lines of standard error without their date and time prefix.
    QStringList messages() const;
    QString errText() const { return QString::fromUtf8(err); }
    QJsonObject json() const;
};

// A copy of the built program in a folder of its own (its executable folder, where
// configApi.ini and the local client libraries are looked for).
class Cli {
public:
    explicit Cli(const TempFolder& folder);
    QString path() const { return exe_; }

    // Runs it to the end; standard input is empty and not a terminal. BRIVEL_SENHA
    // is taken from `env` only.
    CliRun run(const QStringList& args, const QProcessEnvironment& env = CleanEnvironment()) const;

    static QProcessEnvironment CleanEnvironment();

private:
    QString exe_;
};

// A link to the system's libpq in the folder, where the program looks for it.
void LinkLibpq(const TempFolder& folder);

// The arguments that reach a database like the wizard's login (password excluded).
QStringList ConnectionArgs(int kind, const QString& server, const QString& port, const QString& database,
                           const QString& user);

// A database of the kind and the program beside a libpq, the password in BRIVEL_SENHA.
struct CliTarget {
    TempFolder folder;
    Cli cli{folder};
    DatabaseTarget t;
    QStringList args;
    QProcessEnvironment env = Cli::CleanEnvironment();

    Outcome prepare(int kind)
    {
        LinkLibpq(folder);
        if (auto r = t.prepare(kind, folder); !r)
            return r;
        args = ConnectionArgs(kind, t.login.server, t.login.port, t.login.database, t.login.user);
        env.insert(QStringLiteral("BRIVEL_SENHA"), t.login.password);
        return {};
    }
    CliRun run(const QString& command, const QStringList& more = {}) const
    {
        return cli.run(QStringList{command} + args + more, env);
    }
};

} // namespace brivel::test
