// The limit of an installation: the script's statements sent through the same
// client library by a bare loop (no log, no window, no existence check), in one
// transaction, with Firebird's commit after each CREATE TABLE as the installer
// needs. Prints one line of figures.
//
//   brivel_bench_loop KIND_INDEX SERVER PORT DATABASE USER   (password in BRIVEL_SENHA,
//                                                           libpq in BRIVEL_BENCH_LIBPQ)
#include "core/ConnectionFields.h"
#include "core/InstallSteps.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

using namespace brivel;

namespace {
double NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s KIND_INDEX SERVER PORT DATABASE USER\n", argv[0]);
        return 2;
    }
    ConnectionFields f;
    f.kindIndex = std::atoi(argv[1]);
    f.servidor = argv[2];
    f.porta = argv[3];
    f.database = argv[4];
    f.usuario = argv[5];
    const char* password = std::getenv("BRIVEL_SENHA");
    f.senha = password ? password : "";
    const TTipoBanco kind = f.kind();
    try {
        db::DriverLink pg("PG", "PostgreSQL", db::PostgresLibraryFiles());
        db::DriverLink oracle("Ora", "Oracle", db::OracleLibraryFiles());
        if (const char* libpq = std::getenv("BRIVEL_BENCH_LIBPQ"))
            pg.VendorLib = libpq;
        db::Connection c(db::DriverLinks{&pg, &oracle});
        db::SetUpConnection(c, f);
        const double t0 = NowMs();
        c.open();
        const double t1 = NowMs();
        c.startTransaction();
        for (const ScriptStatement& st : SplitStatements(ScriptFor(kind))) {
            c.execSQL(st.sql);
            if (kind == tbFirebird && !CreatedTableName(st.sql).empty()) {
                c.commit();
                c.startTransaction();
            }
        }
        c.commit();
        const double t2 = NowMs();
        c.close();
        const double t3 = NowMs();
        std::printf("open_ms=%.3f loop_ms=%.3f close_ms=%.3f\n", t1 - t0, t2 - t1, t3 - t2);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
