#include "FirstPaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#include <time.h>
#endif

#include <cstdio>
#include <cstdlib>

namespace brivel::bench {

#ifdef _WIN32
namespace {

long long FileTime100ns(const FILETIME& t)
{
    return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

} // namespace

// The launcher under Wine cannot share a clock with the program: the program
// measures from its own creation, as Windows records it.
long long MonotonicNs()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return FileTime100ns(now) * 100;
}

static long long CreationNs()
{
    FILETIME creation{}, exit{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    return FileTime100ns(creation) * 100;
}

static void Usage(long long& cpuUs, long& rssKb)
{
    FILETIME creation{}, exit{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    cpuUs = (FileTime100ns(kernel) + FileTime100ns(user)) / 10;
    PROCESS_MEMORY_COUNTERS memory{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    rssKb = static_cast<long>(memory.PeakWorkingSetSize / 1024);
}

static QByteArray MappedClientLibs()
{
    QList<QByteArray> found;
    for (const char* lib : {"libpq.dll", "libmariadb.dll", "libmysql.dll", "fbclient.dll", "sqlite3.dll", "odbc32.dll",
                            "oci.dll"})
        if (GetModuleHandleA(lib))
            found << lib;
    return found.isEmpty() ? QByteArray("none") : found.join(',');
}

// The modules (DLLs) loaded, by name.
static QStringList MappedFiles()
{
    HMODULE modules[1024];
    DWORD needed = 0;
    QStringList names;
    if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &needed))
        return names;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
        wchar_t name[MAX_PATH];
        if (K32GetModuleBaseNameW(GetCurrentProcess(), modules[i], name, MAX_PATH))
            names << QString::fromWCharArray(name).toLower();
    }
    return names;
}
#else
// Nanoseconds of CLOCK_MONOTONIC, the clock the launcher reads before exec.
long long MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

static void Usage(long long& cpuUs, long& rssKb)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    rssKb = usage.ru_maxrss;
    // CPU time of all threads: far less disturbed than wall time by other work on the machine.
    cpuUs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
            usage.ru_stime.tv_usec;
}

// Client libraries of the six kinds: none may be mapped before a connection test.
static QByteArray MappedClientLibs()
{
    constexpr const char* kClientLibs[] = {"libpq.so",      "libmariadb.so", "libmysqlclient.so", "libfbclient.so",
                                           "libsqlite3.so", "libodbc.so",    "libclntsh.so"};
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return "unreadable";
    QList<QByteArray> found;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int slash = line.lastIndexOf('/');
        if (slash < 0)
            continue;
        const QByteArray name = line.mid(slash + 1);
        for (const char* lib : kClientLibs)
            if (name.startsWith(lib) && !found.contains(name))
                found << name;
    }
    return found.isEmpty() ? QByteArray("none") : found.join(',');
}

// The files mapped (shared libraries, fonts, translations, caches), by name.
static QStringList MappedFiles()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QStringList names;
    if (!maps.open(QIODevice::ReadOnly))
        return names;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int path = line.indexOf(" /");
        if (path < 0 || line.endsWith(" (deleted)"))
            continue;
        names << QString::fromLocal8Bit(line.mid(line.lastIndexOf('/') + 1));
    }
    return names;
}
#endif

FirstPaint::FirstPaint(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

bool FirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        paintNs_ = MonotonicNs();
        Usage(cpuUs_, rssKb_);
        dbLibs_ = MappedClientLibs();
        files_ = LoadedFiles();
        // Whether Qt's own texts are translated already (a translation is installed).
        translated_ = QCoreApplication::translate("QPlatformTheme", "Cancel") != QLatin1String("Cancel");
        // The children paint right after the window itself; the frame is done
        // when control is back in the event loop.
        QTimer::singleShot(0, this, [this] { finish(); });
    }
    return false;
}

// What the process has loaded, the program's own file left out; spaces as %20
// so the list stays one field of the output line.
QByteArray FirstPaint::LoadedFiles()
{
    QStringList names = MappedFiles();
    names.removeAll(QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLower());
    names.removeAll(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    names.removeDuplicates();
    names.sort();
    return names.join(QLatin1Char(',')).toUtf8().replace(' ', "%20");
}

void FirstPaint::finish()
{
    const long long frameNs = MonotonicNs();
#ifdef _WIN32
    // Times since the process was created.
    const long long origin = CreationNs();
    std::printf("created_paint_ns=%lld created_frame_ns=%lld cpu_us=%lld maxrss_kb=%ld dblibs=%s qt_translated=%s "
                "files=%s\n",
                paintNs_ - origin, frameNs - origin, cpuUs_, rssKb_, dbLibs_.constData(), translated_ ? "yes" : "no",
                files_.constData());
#else
    std::printf("paint_ns=%lld frame_ns=%lld cpu_us=%lld maxrss_kb=%ld dblibs=%s qt_translated=%s files=%s\n",
                paintNs_, frameNs, cpuUs_, rssKb_, dbLibs_.constData(), translated_ ? "yes" : "no", files_.constData());
#endif
    std::fflush(stdout);
    // Nothing after the first frame is part of start-up.
    std::_Exit(0);
}

} // namespace brivel::bench
