// Runs the start-up, connection-test and installation measurements side by side
// and prints a table of medians. bench/run.sh builds it and starts the servers.
//
//   brivel_bench [--startup-runs N] [--install-runs N] [--kinds sqlite,postgresql,mysql,firebird]
#include "core/SchemaScript.h"
#include "support/TestServers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtGlobal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>

extern char** environ;

using namespace brivel;
using namespace brivel::test;

namespace {

long long MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

double Median(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString Ms(double v) { return QString::number(v, 'f', v < 10 ? 2 : 1); }
QString Ratio(double a, double b) { return b > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("-"); }
QString Range(const QList<double>& v)
{
    if (v.isEmpty())
        return QStringLiteral("-");
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    return Ms(*lo) + QStringLiteral("–") + Ms(*hi);
}

struct Run {
    int exitCode = -1;
    long long startNs = 0;
    long long elapsedNs = 0;
    QByteArray out, err;
    QMap<QString, QString> fields;  // key=value pairs of the last output line

    double number(const QString& key) const { return fields.value(key).toDouble(); }
};

// Starts `argv` with `env` added to this environment, stdin from `input` (or
// /dev/null), and waits; the time runs from just before the spawn to the reap.
Run Spawn(const QStringList& args, const QMap<QString, QString>& env, const QString& input, const QString& scratch)
{
    QList<QByteArray> envBytes;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!env.contains(QString::fromLocal8Bit(entry.left(entry.indexOf('=')))))
            envBytes << entry;
    }
    for (auto it = env.begin(); it != env.end(); ++it)
        envBytes << (it.key() + QLatin1Char('=') + it.value()).toLocal8Bit();
    std::vector<char*> envp;
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QList<QByteArray> argBytes;
    for (const QString& a : args)
        argBytes << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const QByteArray outPath = (scratch + QStringLiteral("/out")).toLocal8Bit();
    const QByteArray errPath = (scratch + QStringLiteral("/err")).toLocal8Bit();
    const QByteArray inPath = input.isEmpty() ? QByteArray("/dev/null") : input.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    Run run;
    pid_t pid = 0;
    run.startNs = MonotonicNs();
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        run.err = QByteArray("cannot start ") + argv[0];
        return run;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.elapsedNs = MonotonicNs() - run.startNs;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    QFile out(QString::fromLocal8Bit(outPath)), err(QString::fromLocal8Bit(errPath));
    if (out.open(QIODevice::ReadOnly))
        run.out = out.readAll();
    if (err.open(QIODevice::ReadOnly))
        run.err = err.readAll();
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    for (const QByteArray& token : lines.last().split(' ')) {
        const int eq = token.indexOf('=');
        if (eq > 0)
            run.fields.insert(QString::fromUtf8(token.left(eq)), QString::fromUtf8(token.mid(eq + 1)));
    }
    return run;
}

QString Describe(const Run& r)
{
    return QStringLiteral("exit %1: %2 %3")
        .arg(r.exitCode)
        .arg(QString::fromUtf8(r.out.trimmed().right(400)), QString::fromUtf8(r.err.trimmed().right(400)));
}

// Other work on the machine inflates every figure: the table says how busy it was.
QString LoadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

QString CpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
    return QStringLiteral("unknown CPU");
}

QString MemTotal()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("MemTotal:"))
                return QString::number(line.mid(9).trimmed().split(' ').first().toDouble() / 1048576.0, 'f', 1) +
                       QStringLiteral(" GiB RAM");
    return QStringLiteral("unknown RAM");
}

// ------------------------------------------------------------------ start-up

struct Startup {
    QList<double> paintMs, frameMs, cpuMs, rssMb;
    QStringList dbLibs;
    QStringList files;       // mapped at the first paint, in any run
    QStringList translated;  // whether Qt's texts were translated at the first paint, as seen
};

bool StartupRun(const QString& program, Startup& into, const QString& scratch, const QString& configHome)
{
    const Run r = Spawn({program}, {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")},
                                    {QStringLiteral("XDG_CONFIG_HOME"), configHome}},
                        {}, scratch);
    if (r.exitCode != 0 || !r.fields.contains(QStringLiteral("paint_ns"))) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), qPrintable(Describe(r)));
        return false;
    }
    into.paintMs << (r.fields.value(QStringLiteral("paint_ns")).toLongLong() - r.startNs) / 1e6;
    into.frameMs << (r.fields.value(QStringLiteral("frame_ns")).toLongLong() - r.startNs) / 1e6;
    into.cpuMs << r.number(QStringLiteral("cpu_us")) / 1000.0;
    into.rssMb << r.number(QStringLiteral("maxrss_kb")) / 1024.0;
    const QString libs = r.fields.value(QStringLiteral("dblibs"));
    if (!into.dbLibs.contains(libs))
        into.dbLibs << libs;
    for (const QString& f : r.fields.value(QStringLiteral("files")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!into.files.contains(f))
            into.files << QString(f).replace(QStringLiteral("%20"), QStringLiteral(" "));
    const QString translated = r.fields.value(QStringLiteral("qt_translated"));
    if (!into.translated.contains(translated))
        into.translated << translated;
    return true;
}

// -------------------------------------------------------------- installation

struct Kind {
    const char* arg;
    TTipoBanco kind;
    const char* client;
};
constexpr Kind kKinds[] = {{"sqlite", tbSQLite, "sqlite3"},
                           {"postgresql", tbPostgreSQL, "psql"},
                           {"mysql", tbMySQL, "mariadb"},
                           {"firebird", tbFirebird, "isql-fb"}};

// The same script the wizard runs, through the kind's own command-line client, on a fresh database.
std::optional<double> NativeRun(const Kind& k, const QString& scriptFile, const QString& scratch, QString& error)
{
    QStringList args;
    QMap<QString, QString> env;
    QString input;
    switch (k.kind) {
    case tbSQLite: {
        const QString file = scratch + QStringLiteral("/native.db");
        QFile::remove(file);
        args = {QStringLiteral("sqlite3"), QStringLiteral("-batch"), QStringLiteral("-bail"), file};
        input = scriptFile;
        break;
    }
    case tbPostgreSQL: {
        PgServer pg;
        QString db;
        if (auto r = ReadPgServer(pg); !r || !(r = CreatePgDatabase(pg, db))) {
            error = r.message;
            return std::nullopt;
        }
        env = {{QStringLiteral("PGPASSWORD"), pg.password}, {QStringLiteral("PGCLIENTENCODING"), QStringLiteral("UTF8")}};
        args = {QStringLiteral("psql"), QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), pg.host, QStringLiteral("-p"), pg.port,
                QStringLiteral("-U"), pg.user, QStringLiteral("-d"), db, QStringLiteral("-f"), scriptFile};
        break;
    }
    case tbMySQL: {
        MariaDbServer maria;
        QString db;
        if (auto r = ReadMariaDbServer(maria); !r || !(r = CreateMariaDbDatabase(maria, db))) {
            error = r.message;
            return std::nullopt;
        }
        env = {{QStringLiteral("MYSQL_PWD"), maria.password}};
        args = {QStringLiteral("mariadb"), QStringLiteral("--no-defaults"), QStringLiteral("--batch"),
                QStringLiteral("--default-character-set=utf8mb4"), QStringLiteral("-h"), maria.host,
                QStringLiteral("-P"), maria.port, QStringLiteral("-u"), maria.user, db};
        input = scriptFile;
        break;
    }
    case tbFirebird: {
        FbServer fb;
        QString path;
        if (auto r = ReadFbServer(fb); !r || !(r = CreateFbDatabase(fb, path, QStringLiteral("NONE")))) {
            error = r.message;
            return std::nullopt;
        }
        env = {{QStringLiteral("ISC_USER"), fb.user}, {QStringLiteral("ISC_PASSWORD"), fb.password}};
        args = {QStringLiteral("isql-fb"), QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-i"),
                scriptFile, FbConnectionString(fb, path)};
        break;
    }
    default: error = QStringLiteral("kind not measured"); return std::nullopt;
    }
    const Run r = Spawn(args, env, input, scratch);
    // isql-fb may report a failed statement on stderr and still exit with 0.
    if (r.exitCode != 0 || !r.err.trimmed().isEmpty()) {
        error = QString::fromLatin1(k.client) + QStringLiteral(" ") + Describe(r);
        return std::nullopt;
    }
    return r.elapsedNs / 1e6;
}

// On a fresh database, as a whole process: setupbriveldb-cli instalar, or (with `loop`)
// brivel_bench_loop, whose in-process loop time goes to `loopMs`.
std::optional<double> CommandRun(const Kind& k, const QString& program, const QString& scratch, QString& error,
                                 double* loopMs = nullptr)
{
    const bool loop = loopMs != nullptr;
    QStringList args{program};
    if (!loop)
        args << QStringLiteral("instalar") << QStringLiteral("--silencioso") << QStringLiteral("--tipo")
             << QString::fromLatin1(k.arg);
    else
        args << QString::number(int(k.kind));
    QMap<QString, QString> env;
    if (loop)
        env.insert(QStringLiteral("BRIVEL_BENCH_LIBPQ"),
                   QFileInfo(program).absolutePath() + QStringLiteral("/../src/libpq.so.5"));
    auto server = [&](const QString& host, const QString& port, const QString& db, const QString& user,
                      const QString& password) {
        if (loop)
            args << host << port << db << user;
        else
            args << QStringLiteral("--servidor") << host << QStringLiteral("--porta") << port
                 << QStringLiteral("--banco") << db << QStringLiteral("--usuario") << user;
        env.insert(QStringLiteral("BRIVEL_SENHA"), password);
    };
    switch (k.kind) {
    case tbSQLite: {
        const QString file = scratch + QStringLiteral("/command.db");
        QFile::remove(file);
        if (loop)
            args << QString() << QString() << file << QString();
        else
            args << QStringLiteral("--banco") << file;
        break;
    }
    case tbPostgreSQL: {
        PgServer pg;
        QString db;
        if (auto r = ReadPgServer(pg); !r || !(r = CreatePgDatabase(pg, db))) {
            error = r.message;
            return std::nullopt;
        }
        server(pg.host, pg.port, db, pg.user, pg.password);
        break;
    }
    case tbMySQL: {
        MariaDbServer maria;
        QString db;
        if (auto r = ReadMariaDbServer(maria); !r || !(r = CreateMariaDbDatabase(maria, db))) {
            error = r.message;
            return std::nullopt;
        }
        server(maria.host, maria.port, db, maria.user, maria.password);
        break;
    }
    case tbFirebird: {
        FbServer fb;
        QString path;
        if (auto r = ReadFbServer(fb); !r || !(r = CreateFbDatabase(fb, path, QStringLiteral("NONE")))) {
            error = r.message;
            return std::nullopt;
        }
        server(fb.host, fb.port, path, fb.user, fb.password);
        break;
    }
    default: error = QStringLiteral("kind not measured"); return std::nullopt;
    }
    const Run r = Spawn(args, env, {}, scratch);
    if (r.exitCode != 0) {
        error = QFileInfo(program).fileName() + QStringLiteral(" ") + Describe(r);
        return std::nullopt;
    }
    if (loop)
        *loopMs = r.number(QStringLiteral("loop_ms"));
    return r.elapsedNs / 1e6;
}

struct KindFigures {
    QList<double> command, loopProcess, loop;
    QList<double> install, installGross, box, native, connect, connectReturn, load;
    QStringList libraries;  // what was dlopened for the kind, failed attempts marked
    QStringList errors;
};

const Kind* FindKind(const QString& name)
{
    for (const Kind& k : kKinds)
        if (name == QLatin1String(k.arg))
            return &k;
    return nullptr;
}

// One session through the real window in a fresh process, then the native client.
void MeasureKind(const Kind& k, const QString& dir, const QString& scriptFile, const QString& scratch,
                 const QString& configHome, KindFigures& fig)
{
    const Run w = Spawn({dir + QStringLiteral("/brivel_bench_steps"), QString::fromLatin1(k.arg)},
                        {{QStringLiteral("XDG_CONFIG_HOME"), configHome}}, {}, scratch);
    if (w.exitCode == 0 && w.fields.contains(QStringLiteral("install_ms"))) {
        fig.install << w.number(QStringLiteral("install_ms"));
        fig.installGross << w.number(QStringLiteral("install_gross_ms"));
        fig.box << w.number(QStringLiteral("box_ms"));
        fig.connect << w.number(QStringLiteral("connect_ms"));
        fig.connectReturn << w.number(QStringLiteral("connect_return_ms"));
        fig.load << w.number(QStringLiteral("load_ms"));
        QStringList libs;
        for (const QString& load : w.fields.value(QStringLiteral("loads")).split(QLatin1Char(','), Qt::SkipEmptyParts))
            libs << load.section(QLatin1Char('/'), 0, 0) +
                        (load.endsWith(QLatin1String("/failed")) ? QStringLiteral(" (absent)") : QString());
        const QString joined = libs.join(QStringLiteral(", "));
        if (!fig.libraries.contains(joined))
            fig.libraries << joined;
    } else {
        fig.errors << QStringLiteral("wizard ") + Describe(w);
    }
    QString error;
    if (const auto ms = NativeRun(k, scriptFile, scratch, error))
        fig.native << *ms;
    else
        fig.errors << error;
    if (const auto ms = CommandRun(k, dir + QStringLiteral("/../src/setupbriveldb-cli"), scratch, error))
        fig.command << *ms;
    else
        fig.errors << error;
    double loopMs = 0;
    if (const auto ms = CommandRun(k, dir + QStringLiteral("/brivel_bench_loop"), scratch, error, &loopMs)) {
        fig.loopProcess << *ms;
        fig.loop << loopMs;
    } else {
        fig.errors << error;
    }
}

// What each program has loaded when it first paints, so a difference in time can be told apart
// from a difference in work.
void PrintLoaded(const Startup& wizard, const Startup& bare)
{
    auto kind = [](const QString& name) {
        if (name.contains(QLatin1String(".so")))
            return 0;
        static const QStringList fonts{QStringLiteral(".ttf"), QStringLiteral(".otf"), QStringLiteral(".ttc"),
                                       QStringLiteral(".pfb"), QStringLiteral(".pcf"), QStringLiteral(".pcf.gz")};
        for (const QString& f : fonts)
            if (name.endsWith(f))
                return 1;
        return name.endsWith(QLatin1String(".qm")) ? 2 : 3;
    };
    auto count = [&](const Startup& s, int k) {
        return QString::number(std::count_if(s.files.begin(), s.files.end(), [&](const QString& f) { return kind(f) == k; }));
    };
    auto only = [](const Startup& a, const Startup& b) {
        QStringList out;
        for (const QString& f : a.files)
            if (!b.files.contains(f))
                out << f;
        out.sort();
        return out.isEmpty() ? QStringLiteral("nothing") : out.join(QStringLiteral(", "));
    };
    auto translated = [](const Startup& s) {
        return s.translated == QStringList{QStringLiteral("no")}    ? QStringLiteral("no")
               : s.translated == QStringList{QStringLiteral("yes")} ? QStringLiteral("yes")
                                                                     : s.translated.join(QStringLiteral(" / "));
    };
    std::printf("\nWhat each has loaded at its first paint (files mapped, the program's own file left out; the "
                "wizard reads Qt's Portuguese translation after it):\n\n"
                "| | wizard | bare Qt window |\n|---|---|---|\n"
                "| shared libraries | %s | %s |\n| fonts | %s | %s |\n| translation files (.qm) | %s | %s |\n"
                "| other files | %s | %s |\n| Qt's texts translated | %s | %s |\n",
                qPrintable(count(wizard, 0)), qPrintable(count(bare, 0)), qPrintable(count(wizard, 1)),
                qPrintable(count(bare, 1)), qPrintable(count(wizard, 2)), qPrintable(count(bare, 2)),
                qPrintable(count(wizard, 3)), qPrintable(count(bare, 3)), qPrintable(translated(wizard)),
                qPrintable(translated(bare)));
    std::printf("\nOnly in the wizard: %s\nOnly in the bare window: %s\n", qPrintable(only(wizard, bare)),
                qPrintable(only(bare, wizard)));
}

void PrintStartup(const Startup& wizard, const Startup& bare, int runs)
{
    std::printf("\nStart-up, offscreen, from exec to the window's first paint (median of %d runs, min–max):\n\n", runs);
    std::printf("| | wizard | bare Qt window | ratio | target |\n|---|---|---|---|---|\n");
    std::printf("| first paint, ms | %s (%s) | %s (%s) | %s | ≤ 1.15 |\n", qPrintable(Ms(Median(wizard.paintMs))),
                qPrintable(Range(wizard.paintMs)), qPrintable(Ms(Median(bare.paintMs))), qPrintable(Range(bare.paintMs)),
                qPrintable(Ratio(Median(wizard.paintMs), Median(bare.paintMs))));
    std::printf("| first frame done, ms | %s (%s) | %s (%s) | %s | |\n", qPrintable(Ms(Median(wizard.frameMs))),
                qPrintable(Range(wizard.frameMs)), qPrintable(Ms(Median(bare.frameMs))), qPrintable(Range(bare.frameMs)),
                qPrintable(Ratio(Median(wizard.frameMs), Median(bare.frameMs))));
    std::printf("| CPU time to first paint, ms | %s (%s) | %s (%s) | %s | |\n", qPrintable(Ms(Median(wizard.cpuMs))),
                qPrintable(Range(wizard.cpuMs)), qPrintable(Ms(Median(bare.cpuMs))), qPrintable(Range(bare.cpuMs)),
                qPrintable(Ratio(Median(wizard.cpuMs), Median(bare.cpuMs))));
    std::printf("| max RSS, MB | %s | %s | %s | ≤ 1.10 |\n", qPrintable(Ms(Median(wizard.rssMb))),
                qPrintable(Ms(Median(bare.rssMb))), qPrintable(Ratio(Median(wizard.rssMb), Median(bare.rssMb))));
    std::printf("\nClient libraries mapped in the wizard at first paint: %s\n",
                qPrintable(wizard.dbLibs.join(QStringLiteral(" / "))));
    PrintLoaded(wizard, bare);
}

void PrintInstallation(const QStringList& kinds, const QMap<QString, KindFigures>& figures, int runs)
{
    std::printf("\nInstallation, \"Criar Estrutura\" to \"Conexão encerrada.\" on a fresh database (median of %d, "
                "min–max), against the kind's own client running the same script on a fresh database:\n\n",
                runs);
    std::printf("| kind | wizard, ms | client | client, ms | ratio | target | message box open, ms (excluded) |\n"
                "|---|---|---|---|---|---|---|\n");
    for (const QString& name : kinds) {
        const KindFigures& f = figures[name];
        const Kind* k = FindKind(name);
        std::printf("| %s | %s (%s) | %s | %s (%s) | %s | ≤ 1.0 | %s |\n", DisplayName(k->kind),
                    qPrintable(Ms(Median(f.install))), qPrintable(Range(f.install)), k->client,
                    qPrintable(Ms(Median(f.native))), qPrintable(Range(f.native)),
                    qPrintable(Ratio(Median(f.install), Median(f.native))), qPrintable(Ms(Median(f.box))));
    }
    std::printf("\nsetupbriveldb-cli instalar as a whole process (start, connection, installation, exit) on a fresh "
                "database, against the kind's own client running the same script (median of %d, min–max):\n\n"
                "| kind | setupbriveldb-cli, ms | client | client, ms | ratio | target |\n|---|---|---|---|---|---|\n",
                runs);
    for (const QString& name : kinds) {
        const KindFigures& f = figures[name];
        const Kind* k = FindKind(name);
        std::printf("| %s | %s (%s) | %s | %s (%s) | %s | ≤ 1.0 |\n", DisplayName(k->kind),
                    qPrintable(Ms(Median(f.command))), qPrintable(Range(f.command)), k->client,
                    qPrintable(Ms(Median(f.native))), qPrintable(Range(f.native)),
                    qPrintable(Ratio(Median(f.command), Median(f.native))));
    }
}

void PrintLimit(const QStringList& kinds, const QMap<QString, KindFigures>& figures, int runs)
{
    std::printf("\nThe limit: the same statements through the same client library in a bare loop (one transaction, "
                "Firebird's commits, no log, no window, no existence check), median of %d. The wizard's time (click "
                "to \"Conexão encerrada.\") against the loop's transaction; the command's whole process against the "
                "loop's whole process (start, connection, loop, exit):\n\n"
                "| kind | loop, ms | wizard, ms | ratio | loop process, ms | setupbriveldb-cli, ms | ratio | goal |\n"
                "|---|---|---|---|---|---|---|---|\n",
                runs);
    for (const QString& name : kinds) {
        const KindFigures& f = figures[name];
        std::printf("| %s | %s | %s | %s | %s | %s | %s | ≤ 1.2 |\n", DisplayName(FindKind(name)->kind),
                    qPrintable(Ms(Median(f.loop))), qPrintable(Ms(Median(f.install))),
                    qPrintable(Ratio(Median(f.install), Median(f.loop))), qPrintable(Ms(Median(f.loopProcess))),
                    qPrintable(Ms(Median(f.command))), qPrintable(Ratio(Median(f.command), Median(f.loopProcess))));
    }
}

void PrintConnectionTest(const QStringList& kinds, const QMap<QString, KindFigures>& figures, int runs)
{
    std::printf("\nConnection test, \"Testar Conexão\" to the green status painted, first test in a fresh process "
                "(median of %d, min–max); dlopen timed inside the process:\n\n",
                runs);
    std::printf("| kind | to green status, ms | handler returned, ms | client library dlopen, ms | share | "
                "libraries dlopened |\n|---|---|---|---|---|---|\n");
    for (const QString& name : kinds) {
        const KindFigures& f = figures[name];
        const double connect = Median(f.connect);
        const double load = Median(f.load);
        std::printf("| %s | %s (%s) | %s | %s | %s%% | %s |\n", DisplayName(FindKind(name)->kind),
                    qPrintable(Ms(connect)), qPrintable(Range(f.connect)), qPrintable(Ms(Median(f.connectReturn))),
                    qPrintable(Ms(load)), connect > 0 ? qPrintable(QString::number(100 * load / connect, 'f', 0)) : "-",
                    qPrintable(f.libraries.join(QStringLiteral(" / "))));
    }
}

int Usage(const char* self)
{
    std::fprintf(stderr,
                 "usage: %s [--startup-runs N] [--install-runs N] [--kinds sqlite,postgresql,mysql,firebird]\n"
                 "       (0 runs skips that part)\n",
                 self);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int startupRuns = 25;
    int installRuns = 7;
    QStringList kinds{QStringLiteral("sqlite"), QStringLiteral("postgresql"), QStringLiteral("mysql"),
                      QStringLiteral("firebird")};
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            return Usage(argv[0]);
        if (args[i] == QLatin1String("--startup-runs"))
            startupRuns = std::max(0, args[++i].toInt());
        else if (args[i] == QLatin1String("--install-runs"))
            installRuns = std::max(0, args[++i].toInt());
        else if (args[i] == QLatin1String("--kinds"))
            kinds = args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts);
        else
            return Usage(argv[0]);
    }
    for (const QString& name : kinds)
        if (!FindKind(name))
            return Usage(argv[0]);
    const QString dir = QCoreApplication::applicationDirPath();
    QTemporaryDir scratch;
    QTemporaryDir configHome;

    std::printf("Machine: %s, %d cores, %s; %s; Qt %s; load average at start %s\n", qPrintable(CpuModel()),
                int(sysconf(_SC_NPROCESSORS_ONLN)), qPrintable(MemTotal()),
                qPrintable(QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion()),
                qVersion(), qPrintable(LoadAverage()));
    std::fflush(stdout);

    // Start-up: the two programs alternate; one unmeasured run of each first warms the file cache.
    if (startupRuns > 0) {
        Startup wizard, bare, warm;
        const QString wizardExe = dir + QStringLiteral("/brivel_bench_startup");
        const QString bareExe = dir + QStringLiteral("/brivel_bench_bare");
        if (!StartupRun(wizardExe, warm, scratch.path(), configHome.path()) ||
            !StartupRun(bareExe, warm, scratch.path(), configHome.path()))
            return 1;
        for (int i = 0; i < startupRuns; ++i) {
            const bool wizardFirst = i % 2 == 0;
            if (!StartupRun(wizardFirst ? wizardExe : bareExe, wizardFirst ? wizard : bare, scratch.path(),
                            configHome.path()) ||
                !StartupRun(wizardFirst ? bareExe : wizardExe, wizardFirst ? bare : wizard, scratch.path(),
                            configHome.path()))
                return 1;
        }
        PrintStartup(wizard, bare, startupRuns);

        // The command's start-up: printing a script, against sqlite3 printing its version.
        const QString cli = dir + QStringLiteral("/../src/setupbriveldb-cli");
        QList<double> script, version;
        for (int i = 0; i < startupRuns; ++i) {
            const Run a = Spawn({cli, QStringLiteral("script"), QStringLiteral("--tipo"), QStringLiteral("sqlite")}, {},
                                {}, scratch.path());
            const Run b = Spawn({QStringLiteral("sqlite3"), QStringLiteral("-version")}, {}, {}, scratch.path());
            if (a.exitCode != 0 || b.exitCode != 0) {
                std::fprintf(stderr, "start-up of the command: %s / %s\n", qPrintable(Describe(a)),
                             qPrintable(Describe(b)));
                return 1;
            }
            script << a.elapsedNs / 1e6;
            version << b.elapsedNs / 1e6;
        }
        std::printf("\nCommand start-up, exec to exit (median of %d runs, min–max):\n\n"
                    "| setupbriveldb-cli script --tipo sqlite, ms | sqlite3 -version, ms | ratio |\n|---|---|---|\n"
                    "| %s (%s) | %s (%s) | %s |\n",
                    startupRuns, qPrintable(Ms(Median(script))), qPrintable(Range(script)),
                    qPrintable(Ms(Median(version))), qPrintable(Range(version)),
                    qPrintable(Ratio(Median(script), Median(version))));
        std::fflush(stdout);
    }
    if (installRuns == 0 || kinds.isEmpty()) {
        std::printf("\nLoad average at the end: %s\n", qPrintable(LoadAverage()));
        return 0;
    }

    // Connection test and installation: the wizard and the native client alternate.
    QMap<QString, KindFigures> figures;
    for (const QString& name : kinds) {
        const Kind& k = *FindKind(name);
        const QString scriptFile = scratch.path() + QStringLiteral("/script-") + name + QStringLiteral(".sql");
        QFile f(scriptFile);
        const std::string script = ScriptFor(k.kind);
        if (!f.open(QIODevice::WriteOnly) || f.write(script.data(), qint64(script.size())) != qint64(script.size()))
            return 1;
        f.close();
        KindFigures& fig = figures[name];
        for (int i = 0; i < installRuns; ++i)
            MeasureKind(k, dir, scriptFile, scratch.path(), configHome.path(), fig);
        for (const QString& e : fig.errors)
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(e));
    }
    PrintInstallation(kinds, figures, installRuns);
    PrintLimit(kinds, figures, installRuns);
    PrintConnectionTest(kinds, figures, installRuns);
    std::printf("\nLoad average at the end: %s\n", qPrintable(LoadAverage()));

    for (const KindFigures& f : figures)
        if (!f.errors.isEmpty())
            return 1;
    return 0;
}
