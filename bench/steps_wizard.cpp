// One user session through the real window, in a fresh process: a fresh
// database, "Testar Conexão" until the status turns green, then "Criar
// Estrutura" until "Conexão encerrada." is logged. Prints one line of figures.
//
//   brivel_bench_steps KIND     KIND: sqlite, postgresql, mysql, firebird
#include "FirstPaint.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextBlock>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <vector>

using namespace brivel;
using namespace brivel::test;
using brivel::bench::MonotonicNs;

// ------------------------------------------------------------ dlopen timing
// The client libraries are loaded through dlopen from the db layer linked into
// this program; this definition takes those calls, times them and passes them on.
namespace {
struct LoadRecord {
    const char* file;  // as asked for (the library files are string literals or long-lived)
    long long ns;
    bool ok;
};
std::vector<LoadRecord>& Loads()
{
    static std::vector<LoadRecord> loads;
    return loads;
}
} // namespace

extern "C" void* dlopen(const char* file, int mode)
{
    using Fn = void* (*)(const char*, int);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "dlopen"));
    const long long start = MonotonicNs();
    void* handle = real(file, mode);
    const long long ns = MonotonicNs() - start;
    if (file)
        Loads().push_back({strdup(file), ns, handle != nullptr});
    return handle;
}

namespace {

bool IsClientLibrary(const char* file)
{
    for (const char* lib : {"libpq.so", "libmariadb.so", "libmysqlclient.so", "libfbclient.so", "libsqlite3.so"})
        if (std::strstr(file, lib))
            return true;
    return false;
}

// Time spent in dlopen for client libraries since `from` (failed attempts included).
double ClientLoadMs(size_t from)
{
    long long ns = 0;
    for (size_t i = from; i < Loads().size(); ++i)
        if (IsClientLibrary(Loads()[i].file))
            ns += Loads()[i].ns;
    return ns / 1e6;
}

// "file ms" for each client library dlopen since `from`; a failed attempt is marked.
QByteArray ClientLoads(size_t from)
{
    QByteArrayList out;
    for (size_t i = from; i < Loads().size(); ++i) {
        const LoadRecord& r = Loads()[i];
        if (!IsClientLibrary(r.file))
            continue;
        const char* slash = std::strrchr(r.file, '/');
        out << QByteArray(slash ? slash + 1 : r.file) + '/' + QByteArray::number(r.ns / 1e6, 'f', 2) +
                   (r.ok ? "" : "/failed");
    }
    return out.join(',');
}

int KindOf(const char* name)
{
    if (!std::strcmp(name, "sqlite"))
        return tbSQLite;
    if (!std::strcmp(name, "postgresql"))
        return tbPostgreSQL;
    if (!std::strcmp(name, "mysql"))
        return tbMySQL;
    if (!std::strcmp(name, "firebird"))
        return tbFirebird;
    return -1;
}

Outcome FreshDatabase(int kind, const TempFolder& folder, Wizard::Login& login)
{
    switch (kind) {
    case tbSQLite:
        login.database = folder.file(QStringLiteral("brivel.db"));
        return {};
    case tbPostgreSQL: {
        PgServer pg;
        if (auto r = ReadPgServer(pg); !r)
            return r;
        login = {pg.host, pg.port, {}, pg.user, pg.password};
        return CreatePgDatabase(pg, login.database);
    }
    case tbMySQL: {
        MariaDbServer maria;
        if (auto r = ReadMariaDbServer(maria); !r)
            return r;
        login = {maria.host, maria.port, {}, maria.user, maria.password};
        return CreateMariaDbDatabase(maria, login.database);
    }
    case tbFirebird: {
        FbServer fb;
        if (auto r = ReadFbServer(fb); !r)
            return r;
        login = {fb.host, fb.port, {}, fb.user, fb.password};
        return CreateFbDatabase(fb, login.database);
    }
    }
    return Outcome::Fail(QStringLiteral("unknown kind"));
}

// Stamps the moments the measurement ends on, and answers message boxes at once.
class Probe : public QObject {
public:
    long long greenPaintNs = 0;
    long long closedLogNs = 0;
    long long boxOpenNs = 0;  // total time message boxes stood open (the user's time)
    QStringList boxes;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched == status_ && !greenPaintNs &&
            status_->text().startsWith(QStringLiteral("Conexão realizada com sucesso")))
            greenPaintNs = MonotonicNs();
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            if (event->type() == QEvent::Show) {
                shownNs_ = MonotonicNs();
                boxes << box->text();
                QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            } else if (event->type() == QEvent::Hide && shownNs_) {
                boxOpenNs += MonotonicNs() - shownNs_;
                shownNs_ = 0;
            }
        }
        return false;
    }

    void watch(Wizard& wz)
    {
        status_ = wz.label("lblStatusConexao");
        QPlainTextEdit* log = wz.memo("memLog");
        QObject::connect(log, &QPlainTextEdit::textChanged, this, [this, log] {
            if (!closedLogNs && log->document()->lastBlock().text().endsWith(QStringLiteral("Conexão encerrada.")))
                closedLogNs = MonotonicNs();
        });
        qApp->installEventFilter(this);
    }

private:
    QLabel* status_ = nullptr;
    long long shownNs_ = 0;
};

int Fail(const QString& message)
{
    std::printf("error=%s\n", qPrintable(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int kind = argc == 2 ? KindOf(argv[1]) : -1;
    if (kind < 0) {
        std::fprintf(stderr, "usage: %s sqlite|postgresql|mysql|firebird\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    ui::Application app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/SetupBrivelDB.png")));

    Wizard wz;
    wz.linkLibpq();
    Wizard::Login login;
    if (const Outcome r = FreshDatabase(kind, wz.exeFolder(), login); !r)
        return Fail(r.message);

    // To the connection page and the login, as the user leaves them before the click.
    wz.pages()->setCurrentIndex(0);
    wz.window().AtualizarBotoes();
    wz.click("btnAvancar");
    wz.click("btnAvancar");
    if (wz.kinds()->currentIndex() != kind)
        wz.selectKind(kind);
    if (kind == tbSQLite)
        wz.edit("edtDatabase")->setText(login.database);
    else
        wz.fillConnection(login.server, login.port, login.database, login.user, login.password);
    QCoreApplication::processEvents();

    Probe probe;
    probe.watch(wz);

    const size_t loadsBefore = Loads().size();
    const long long connectStart = MonotonicNs();
    wz.click("btnTestarConexao");
    const long long connectReturned = MonotonicNs();
    if (!wz.window().conexaoOk() || !probe.greenPaintNs)
        return Fail(QStringLiteral("connection test failed: ") + probe.boxes.join(QStringLiteral(" | ")));
    const double loadMs = ClientLoadMs(loadsBefore);
    const QByteArray loads = ClientLoads(loadsBefore);
    const double connectMs = (probe.greenPaintNs - connectStart) / 1e6;
    const double connectReturnMs = (connectReturned - connectStart) / 1e6;

    // The user sees the script page drawn before clicking: its paint is not the installer's.
    QCoreApplication::processEvents();
    probe.boxes.clear();
    probe.boxOpenNs = 0;
    const long long installStart = MonotonicNs();
    wz.click("btnCriarEstrutura");
    if (!probe.closedLogNs)
        return Fail(QStringLiteral("no \"Conexão encerrada.\" after the installation"));
    if (probe.boxes != QStringList{QStringLiteral("Estrutura criada com sucesso.")} ||
        wz.logMessages().count(QStringLiteral("Executando comando...")) != 13)
        return Fail(QStringLiteral("installation did not succeed: ") + probe.boxes.join(QStringLiteral(" | ")));
    const double grossMs = (probe.closedLogNs - installStart) / 1e6;
    const double boxMs = probe.boxOpenNs / 1e6;

    std::printf("connect_ms=%.3f connect_return_ms=%.3f load_ms=%.3f install_ms=%.3f install_gross_ms=%.3f "
                "box_ms=%.3f loads=%s\n",
                connectMs, connectReturnMs, loadMs, grossMs - boxMs, grossMs, boxMs, loads.constData());
    return 0;
}
