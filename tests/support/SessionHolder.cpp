#include "support/SessionHolder.h"

#include "db/ConnectionSetup.h"

namespace brivel::test {

Outcome SessionHolder::take(const DatabaseTarget& t)
{
    kind_ = t.kind;
    try {
        db::SetUpConnection(conn_, t.fields());
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
