#pragma once
// unixODBC reads its driver list from ODBCSYSINI/ODBCINSTINI once per process,
// on first use: each of these must run before the process's first ODBC call.
#include "core/ConnectionDefinition.h"
#include "support/ConnectionSetup.h"
#include "support/TempFolder.h"
#include "support/TestServers.h"

#include <QFile>
#include <QPair>
#include <QString>
#include <QTextStream>

namespace brivel::test {

// The list of scripts/test-servers.sh: "ODBC Driver 17 for SQL Server" -> psqlodbcw.so.
inline Outcome UseServersDriverList()
{
    QString dir;
    if (auto o = ReadOdbcSysIni(dir); !o)
        return o;
    qputenv("ODBCSYSINI", dir.toUtf8());
    qputenv("ODBCINSTINI", "odbcinst.ini");
    return {};
}

// The driver file that the servers' list registers (the PostgreSQL ODBC driver).
inline Outcome ServersDriverFile(QString& file)
{
    QString dir;
    if (auto o = ReadOdbcSysIni(dir); !o)
        return o;
    QFile ini(dir + QStringLiteral("/odbcinst.ini"));
    if (!ini.open(QIODevice::ReadOnly | QIODevice::Text))
        return Outcome::Fail(QStringLiteral("cannot read ") + ini.fileName());
    QTextStream in(&ini);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QStringLiteral("Driver="), Qt::CaseInsensitive)) {
            file = line.mid(7).trimmed();
            return {};
        }
    }
    return Outcome::Fail(QStringLiteral("no Driver= line in ") + ini.fileName());
}

// A driver list of the test's own: section name -> driver file, in file order.
inline Outcome UseOwnDriverList(const TempFolder& folder, const QList<QPair<QString, QString>>& drivers)
{
    QByteArray ini;
    for (const auto& [name, file] : drivers)
        ini += "[" + name.toUtf8() + "]\nDriver=" + file.toUtf8() + "\n\n";
    folder.write(QStringLiteral("odbcinst.ini"), ini);
    qputenv("ODBCSYSINI", folder.path().toUtf8());
    qputenv("ODBCINSTINI", "odbcinst.ini");
    return {};
}

// The wizard's SQL Server definition, pointed at the PostgreSQL test server.
inline ConnectionDefinition SqlServerDefinition(const PgServer& server, const QString& database)
{
    return DefinitionFor(FieldsOf(tbSQLServer, server.host.toStdString(), server.port.toStdString(),
                                  database.toStdString(), server.user.toStdString(), server.password.toStdString()));
}

} // namespace brivel::test
