#pragma once
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

} // namespace brivel::test
