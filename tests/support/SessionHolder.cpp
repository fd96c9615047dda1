#include "support/SessionHolder.h"

#include "core/ConnectionDefinition.h"

namespace brivel::test {

Outcome SessionHolder::take(const DatabaseTarget& t)
{
    ConnectionFields f;
    f.kindIndex = t.kind;
    f.servidor = t.login.server.toStdString();
    f.porta = t.login.port.toStdString();
    f.database = t.login.database.toStdString();
    f.usuario = t.login.user.toStdString();
    f.senha = t.login.password.toStdString();
    const ConnectionDefinition def = DefinitionFor(f);
    kind_ = t.kind;
    try {
        conn_.setDriverID(def.driverID());
        for (const auto& [name, value] : def.params())
            conn_.setParam(name, value);
        conn_.open();
        if (kind_ == tbMySQL) {
            conn_.execSQL("FLUSH TABLES WITH READ LOCK");
        } else {
            conn_.startTransaction();
            conn_.execSQL(kind_ == tbSQLite ? "CREATE TABLE HOLD_LOCK (ID INTEGER)"
                                            : "CREATE TABLE API_CONFIG (ID INTEGER)");
        }
    } catch (const std::exception& e) {
        return Outcome::Fail(QStringLiteral("holding session: ") + QString::fromUtf8(e.what()));
    }
    return {};
}

void SessionHolder::release()
{
    if (!conn_.connected())
        return;
    try {
        if (kind_ == tbMySQL)
            conn_.execSQL("UNLOCK TABLES");
        else
            conn_.rollback();
    } catch (const std::exception&) {
    }
    conn_.close();
}

} // namespace brivel::test
