#include "core/AppPaths.h"
#include "core/ConfigApiIni.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/ProfileIni.h"
#include "support/TempFolder.h"
#include "support/ErrorOf.h"

#include <QDir>
#include <QStringEncoder>
#include <QtTest>

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace brivel;

namespace {

// The Windows-1252 bytes of a text whose characters all sit at the same code in Latin-1.
QByteArray Cp1252(const QString& text)
{
    for (QChar c : text)
        if ((c.unicode() >= 0x80 && c.unicode() < 0xA0) || c.unicode() > 0xFF)
            qFatal("fixture text outside the shared part of Latin-1 and Windows-1252");
    return text.toLatin1();
}

QByteArray Utf16Le(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

QByteArray Utf16Be(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

QByteArray Utf8Bom(const QString& text) { return "\xEF\xBB\xBF" + text.toUtf8(); }

QByteArray Encoded(const QString& text, const QString& encoding)
{
    if (encoding == u"utf16le")
        return Utf16Le(text);
    if (encoding == u"utf8bom")
        return Utf8Bom(text);
    return Cp1252(text);
}

// A fixture file (UTF-8, CR LF) with the test folder in place of @DIR@, in the given encoding.
QByteArray Fixture(const QString& name, const QString& folder, const QString& encoding)
{
    const QByteArray raw =
        test::ReadFile(QStringLiteral(BRIVEL_SOURCE_DIR "/tests/core/fixtures/config_api_ini/") + name);
    if (raw.isEmpty())
        qFatal("missing fixture %s", qPrintable(name));
    QString text = QString::fromUtf8(raw);
    text.replace(QStringLiteral("@DIR@"), folder);
    text.replace(QStringLiteral("@SEP@"), QString(QChar::fromLatin1(kPathSeparator)));
    return Encoded(text, encoding);
}

// The test folder as the program sees it: native separators, one at the end.
QString NativeFolder(const test::TempFolder& tmp) { return QDir::toNativeSeparators(tmp.path()); }

ConnectionFields Fields(int kind, const QString& database, const QString& server, const QString& port,
                        const QString& user, const QString& password)
{
    ConnectionFields f;
    f.kindIndex = kind;
    f.database = database.toStdString();
    f.servidor = server.toStdString();
    f.porta = port.toStdString();
    f.usuario = user.toStdString();
    f.senha = password.toStdString();
    return f;
}

using brivel::test::ErrorOf;

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Stands for "no file" in the tables (an existing file may be empty).
const QByteArray kNoFile;

#ifndef _WIN32
constexpr uid_t kNobody = 65534;

// Runs the call in a child process, as "nobody" when asked and we are root (root
// ignores permission bits), and with a cap on the size of files it writes when
// sizeLimit is not 0; returns the Error message the call raised.
template <typename F> QString ErrorInChild(F&& call, bool asNobody, int sizeLimit)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string message = "could not set up the child";
        bool ready = true;
        if (asNobody && ::geteuid() == 0)
            ready = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        if (ready && sizeLimit > 0) {
            // Past the cap write() fails with EFBIG instead of killing the process.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(sizeLimit), static_cast<rlim_t>(sizeLimit)};
            ready = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        }
        if (ready)
            message = ErrorOf(call).toStdString();
        const ssize_t written = ::write(fds[1], message.data(), message.size());
        ::_exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("child process failed");
    return QString::fromUtf8(out);
}
#endif

// UTF-8 of the text, with each "\\xHH" replaced by that byte (valid UTF-8 or not).
std::string Raw(const QString& text)
{
    const std::string utf8 = text.toStdString();
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8.compare(i, 2, "\\x") == 0 && i + 3 < utf8.size()) {
            out += static_cast<char>(std::stoi(utf8.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

// Runs a list of operations on a ProfileIni and saves: "-S" erases section S,
// "S/k=v" writes value v under S and key k ("\\xHH" in them stands for a byte).
void Apply(ProfileIni& ini, const QStringList& ops)
{
    for (const QString& op : ops) {
        if (op.startsWith(u'-')) {
            ini.EraseSection(Raw(op.mid(1)));
            continue;
        }
        const qsizetype slash = op.indexOf(u'/');
        const qsizetype eq = op.indexOf(u'=', slash);
        ini.WriteString(Raw(op.left(slash)), Raw(op.mid(slash + 1, eq - slash - 1)), Raw(op.mid(eq + 1)));
    }
    ini.Save();
}

} // namespace

class ConfigApiIniTest : public QObject {
    Q_OBJECT
private slots:
    void pathBesideExecutable()
    {
        const std::string sep(1, kPathSeparator);
        QCOMPARE(ConfigApiIniPath("dir"), "dir" + sep + "configApi.ini");
        QCOMPARE(ConfigApiIniPath("dir" + sep), "dir" + sep + "configApi.ini");
    }

    void save_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("before");  // fixture name; empty: no file yet
        QTest::addColumn<QString>("beforeEncoding");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("afterEncoding");

        QTest::newRow("sqlite, new file, empty keys written")
            << 4 << "@DIR@brivel.db" << "" << "" << "" << "" << "" << "" << "sqlite.ini" << "cp1252";
        QTest::newRow("oracle, new file")
            << 2 << "VENDAS" << "192.0.2.15" << "1521" << "APIUSR" << "" << "" << "" << "oracle.ini" << "cp1252";
        QTest::newRow("mysql, new file")
            << 0 << "vendas" << "192.0.2.15" << "3306" << "APIUSR" << "s3nha" << "" << "" << "mysql.ini" << "cp1252";
        QTest::newRow("foreign section kept and first, hand-made key dropped")
            << 1 << "/dados/api.fdb" << "192.0.2.15" << "3050" << "SYSDBA" << "masterkey" << "log_before.ini"
            << "cp1252" << "log_after.ini" << "cp1252";
        QTest::newRow("oracle then postgresql, trimmed, inner blanks kept")
            << 5 << "  vendas db  " << " 192.0.2.20 " << " 5432 " << "  api user " << " p  w " << "oracle.ini"
            << "cp1252" << "postgresql.ini" << "cp1252";
        QTest::newRow("UTF-16 file stays UTF-16")
            << 1 << "/dados/api.fdb" << "192.0.2.15" << "3050" << "SYSDBA" << "masterkey" << "log_before.ini"
            << "utf16le" << "log_after.ini" << "utf16le";
        QTest::newRow("value outside Windows-1252 makes the file UTF-16")
            << 1 << "/dados/api.fdb" << "192.0.2.15" << "3050" << "SYSDBA" << "chave✓€" << "log_before.ini"
            << "cp1252" << "log_unicode.ini" << "utf16le";
        QTest::newRow("UTF-8 file with BOM becomes UTF-16")
            << 3 << "vendas" << "192.0.2.15" << "1433" << "sa" << "s3nha" << "mysql.ini" << "utf8bom"
            << "sqlserver.ini" << "utf16le";
    }

    void save()
    {
        QFETCH(int, kind);
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, before);
        QFETCH(QString, beforeEncoding);
        QFETCH(QString, after);
        QFETCH(QString, afterEncoding);

        test::TempFolder tmp;
        const QString folder = NativeFolder(tmp);
        if (!before.isEmpty())
            tmp.write(QStringLiteral("configApi.ini"), Fixture(before, folder, beforeEncoding));

        database.replace(QStringLiteral("@DIR@"), folder);
        const std::string path = ConfigApiIniPath(folder.toStdString());
        SaveConfigApiIni(path, Fields(kind, database, server, port, user, password), folder.toStdString());

        QCOMPARE(tmp.read(QStringLiteral("configApi.ini")), Fixture(after, folder, afterEncoding));
        QCOMPARE(Entries(tmp.path()), QStringList{QStringLiteral("configApi.ini")});
    }

    void validationFailureLeavesFileAlone_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("existing file") << QByteArray("[BANCO]\r\nTipo=MYSQL\r\n[LOG]\r\nNivel=2\r\n");
        QTest::newRow("no file") << kNoFile;
    }

    void validationFailureLeavesFileAlone()
    {
        QFETCH(QByteArray, before);
        test::TempFolder tmp;
        if (!before.isNull())
            tmp.write(QStringLiteral("configApi.ini"), before);
        const std::string path = ConfigApiIniPath(NativeFolder(tmp).toStdString());

        const QString message = ErrorOf([&] {
            SaveConfigApiIni(path, Fields(0, "vendas", "  ", "3306", "root", ""), NativeFolder(tmp).toStdString());
        });

        QCOMPARE(message, QStringLiteral("Informe o servidor/IP."));
        QCOMPARE(Entries(tmp.path()), before.isNull() ? QStringList() : QStringList{QStringLiteral("configApi.ini")});
        QCOMPARE(tmp.read(QStringLiteral("configApi.ini")), before);
    }

    void writeRefused_data()
    {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("fileOfNobody");  // when run by root
        QTest::addColumn<bool>("asNobody");      // when run by root
        QTest::addColumn<int>("sizeLimit");      // bytes a write may reach; 0: no cap
        QTest::addColumn<QString>("message");    // %1: the file's path; the reason is the system's text, or ours
        const QString write = QStringLiteral("Não foi possível gravar o arquivo %1: ");
        const QString readOnly = write + QStringLiteral("o arquivo é somente leitura");
        const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
        QTest::newRow("read-only file") << 0444 << 0777 << false << false << 0 << readOnly;
        QTest::newRow("read-only file of the writer") << 0444 << 0777 << true << true << 0 << readOnly;
        QTest::newRow("file of another user") << 0644 << 0777 << false << true << 0 << write + denied;
        QTest::newRow("read-only folder") << 0644 << 0555 << true << true << 0 << write + denied;
        QTest::newRow("write fails midway") << 0644 << 0777 << false << false << 64
                                            << write + QString::fromLocal8Bit(std::strerror(EFBIG));
        // Its other sections unknown, a save would lose them.
        QTest::newRow("file the writer may not read") << 0600 << 0777 << false << true << 0
                                                      << QStringLiteral("Não foi possível ler o arquivo %1: ") + denied;
    }

    void writeRefused()
    {
#ifdef _WIN32
        QSKIP("permission bits and file size caps are POSIX matters");
#else
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(bool, fileOfNobody);
        QFETCH(bool, asNobody);
        QFETCH(int, sizeLimit);
        QFETCH(QString, message);
        const bool root = ::geteuid() == 0;
        if (!root && !fileOfNobody && asNobody)
            QSKIP("needs root to own a file that the unprivileged writer may not write");

        test::TempFolder tmp;
        const QString folder = tmp.path();
        const QByteArray before = Fixture(QStringLiteral("log_before.ini"), folder, QStringLiteral("cp1252"));
        tmp.write(QStringLiteral("configApi.ini"), before);
        const std::string path = ConfigApiIniPath(folder.toStdString());
        const std::string dir = folder.toStdString();

        QVERIFY(::chmod(path.c_str(), static_cast<mode_t>(fileMode)) == 0);
        if (root && fileOfNobody)
            QVERIFY(::chown(path.c_str(), kNobody, kNobody) == 0);
        QVERIFY(::chmod(dir.c_str(), static_cast<mode_t>(folderMode)) == 0);
        // Lets the temporary folder go away even when we are not root.
        struct RestoreMode {
            std::string dir;
            ~RestoreMode() { ::chmod(dir.c_str(), 0700); }
        } restore{dir};

        const ConnectionFields fields = Fields(0, "vendas", "192.0.2.15", "3306", "APIUSR", "s3nha");
        auto save = [&] { SaveConfigApiIni(path, fields, dir); };
        const QString error = (asNobody || sizeLimit) ? ErrorInChild(save, asNobody, sizeLimit) : ErrorOf(save);

        QCOMPARE(error, message.arg(QString::fromStdString(path)));
        QCOMPARE(tmp.read(QStringLiteral("configApi.ini")), before);
        QCOMPARE(Entries(folder), QStringList{QStringLiteral("configApi.ini")});
#endif
    }

    void fileModeAndOwner_data()
    {
        QTest::addColumn<int>("existingMode");  // 0: no file yet
        QTest::addColumn<bool>("existingOfNobody");
        QTest::addColumn<int>("expectedMode");
        QTest::newRow("new file: owner and the folder's group only") << 0 << false << 0640;
        QTest::newRow("existing file keeps its mode") << 0604 << false << 0604;
        QTest::newRow("existing file keeps its owner and group") << 0644 << true << 0644;
    }

    // The file holds the database password: never readable by everyone unless someone made it so.
    void fileModeAndOwner()
    {
#ifdef _WIN32
        QSKIP("Windows: a new file inherits the folder's ACL");
#else
        QFETCH(int, existingMode);
        QFETCH(bool, existingOfNobody);
        QFETCH(int, expectedMode);
        const bool root = ::geteuid() == 0;
        if (existingOfNobody && !root)
            QSKIP("needs root to give the file to another user");

        test::TempFolder tmp;
        const std::string dir = tmp.path().toStdString();
        // A folder group other than the writer's, to see whose group the file takes.
        if (root)
            QVERIFY(::chown(dir.c_str(), static_cast<uid_t>(-1), kNobody) == 0);
        struct stat folder {};
        QVERIFY(::stat(dir.c_str(), &folder) == 0);
        const std::string path = ConfigApiIniPath(dir);
        if (existingMode) {
            tmp.write(QStringLiteral("configApi.ini"), QByteArray("[LOG]\r\nNivel=2\r\n"));
            QVERIFY(::chmod(path.c_str(), static_cast<mode_t>(existingMode)) == 0);
            if (existingOfNobody)
                QVERIFY(::chown(path.c_str(), kNobody, kNobody) == 0);
        }
        struct stat before {};
        const bool existed = ::stat(path.c_str(), &before) == 0;

        // The process's umask must not be what makes the mode right.
        const mode_t oldMask = ::umask(0);
        const QString message = ErrorOf([&] {
            SaveConfigApiIni(path, Fields(0, "vendas", "192.0.2.15", "3306", "APIUSR", "s3nha"), dir);
        });
        ::umask(oldMask);
        QVERIFY2(message.isNull(), qPrintable(message));

        struct stat after {};
        QVERIFY(::stat(path.c_str(), &after) == 0);
        QCOMPARE(int(after.st_mode & 07777), expectedMode);
        QCOMPARE(after.st_uid, existed ? before.st_uid : ::geteuid());
        QCOMPARE(after.st_gid, existed ? before.st_gid : folder.st_gid);
        QCOMPARE(Entries(tmp.path()), QStringList{QStringLiteral("configApi.ini")});
#endif
    }

    void profileIni_data()
    {
        QTest::addColumn<QByteArray>("before");  // kNoFile: no file
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<QByteArray>("after");  // kNoFile: still no file
        QTest::addColumn<QString>("error");     // the file then stays as it was

        QTest::newRow("existing key replaced in place")
            << QByteArray("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n") << QStringList{"A/x=9"}
            << QByteArray("[A]\r\nx=9\r\ny=2\r\n[B]\r\nz=3\r\n") << "";
        QTest::newRow("names match case-insensitively, the file's spelling stays")
            << QByteArray("[Banco]\r\n  TIPO = old\r\n") << QStringList{"BANCO/tipo=new"}
            << QByteArray("[Banco]\r\nTIPO=new\r\n") << "";
        QTest::newRow("accented names match case-insensitively")
            << QByteArray("[SE\xC7\xC3O]\r\nchave=1\r\n") << QStringList{"seção/CHAVE=2"}
            << QByteArray("[SE\xC7\xC3O]\r\nchave=2\r\n") << "";
        QTest::newRow("a line without = is a key")
            << QByteArray("[A]\r\nflag\r\n") << QStringList{"A/flag=1"} << QByteArray("[A]\r\nflag=1\r\n") << "";
        QTest::newRow("new key after the section's last entry, blank line kept before the next")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\n") << QStringList{"A/y=2"}
            << QByteArray("[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\n") << "";
        QTest::newRow("new section at the end, unterminated last line ended")
            << QByteArray("[A]\r\nx=1") << QStringList{"C/k=v", "C/l=w"}
            << QByteArray("[A]\r\nx=1\r\n[C]\r\nk=v\r\nl=w\r\n") << "";
        QTest::newRow("other lines keep their LF ends")
            << QByteArray("[L]\nk=v\n") << QStringList{"A/x=1"} << QByteArray("[L]\nk=v\n[A]\r\nx=1\r\n") << "";
        QTest::newRow("erase takes comments and blank lines, first section of the name only")
            << QByteArray("[A]\r\n;c\r\nx=1\r\n\r\n[B]\r\ny=2\r\n[a]\r\nx=3\r\n") << QStringList{"-A"}
            << QByteArray("[B]\r\ny=2\r\n[a]\r\nx=3\r\n") << "";
        QTest::newRow("erasing a missing section changes nothing")
            << QByteArray("[A]\nx=1") << QStringList{"-B"} << QByteArray("[A]\nx=1") << "";
        QTest::newRow("erasing in a missing file creates none") << kNoFile << QStringList{"-B"} << kNoFile << "";
        // What GetPrivateProfileString reads back must be the value given: it strips
        // blanks around a value, then one pair of matching quotes around it.
        QTest::newRow("values the reader would change are quoted, all others written as given")
            << kNoFile
            << QStringList{"A/a= \"a=b\" ;c ", "A/b='q'", "A/c=\"x\"", "A/d=\"", "A/e=\u00A0nbsp", "A/f='open",
                           "A/g=a;b=c#d[e]", "A/h=\"a'", "A/i=in ner"}
            << QByteArray("[A]\r\na=\" \"a=b\" ;c \"\r\nb=\"'q'\"\r\nc=\"\"x\"\"\r\nd=\"\"\"\r\ne=\"\xA0nbsp\"\r\n"
                          "f='open\r\ng=a;b=c#d[e]\r\nh=\"a'\r\ni=in ner\r\n")
            << "";
        QTest::newRow("NUL in a value refused")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"A/x=a\\x00b"} << QByteArray() << "Texto inválido em [A] x";
        QTest::newRow("overlong line feed in a value refused, never decoded into a new section")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"A/x=1\\xC0\\x8A[API]"} << QByteArray()
            << "Texto inválido em [A] x";
        QTest::newRow("malformed UTF-8 in a key refused, not shown")
            << kNoFile << QStringList{"A/k\\xED\\xA0\\x80=1"} << QByteArray() << "Texto inválido em [A] ?";
        // Keys the file cannot carry: read back as another key, a comment, or with the value "]" a section.
        QTest::newRow("key holding = refused")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"A/a\\x3Db=1"} << QByteArray() << "Chave não permitida em [A]: a=b";
        QTest::newRow("key starting with ; refused")
            << kNoFile << QStringList{"A/ ;c=1"} << QByteArray() << "Chave não permitida em [A]:  ;c";
        QTest::newRow("key starting with [ refused")
            << kNoFile << QStringList{"A/[s=]"} << QByteArray() << "Chave não permitida em [A]: [s";
        QTest::newRow("CR in a value refused")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"A/x=1\r[B]"} << QByteArray() << "Quebra de linha não permitida em [A] x";
        QTest::newRow("LF in a key refused")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"A/k\nz=1"} << QByteArray() << "Quebra de linha não permitida em [A] k\nz";
        QTest::newRow("LF in a section refused")
            << kNoFile << QStringList{"A\n[B/k=v"} << QByteArray() << "Quebra de linha não permitida em [A\n[B] k";

        // Encodings.
        QByteArray allHigh;
        for (int b = 0x80; b <= 0xFF; ++b)
            allHigh += static_cast<char>(b);
        QTest::newRow("new file in Windows-1252")
            << kNoFile << QStringList{"A/k=ação €Šœ"} << QByteArray("[A]\r\nk=a\xE7\xE3o \x80\x8A\x9C\r\n") << "";
        QTest::newRow("single-byte file keeps every byte")
            << QByteArray("[LOG]\r\nraw=" + allHigh + "\r\n") << QStringList{"A/k=é"}
            << QByteArray("[LOG]\r\nraw=" + allHigh + "\r\n[A]\r\nk=\xE9\r\n") << "";
        QTest::newRow("text outside Windows-1252 turns the whole file into UTF-16LE")
            << QByteArray("[LOG]\r\nraw=\x80\x81\xE9\r\n") << QStringList{"A/k=日本 Ω"}
            << Utf16Le(QStringLiteral("[LOG]\r\nraw=€\u0081é\r\n[A]\r\nk=日本 Ω\r\n")) << "";
        QTest::newRow("UTF-16LE file stays UTF-16LE")
            << Utf16Le(QStringLiteral("[LOG]\r\nnota=日本\r\n")) << QStringList{"A/k=x"}
            << Utf16Le(QStringLiteral("[LOG]\r\nnota=日本\r\n[A]\r\nk=x\r\n")) << "";
        QTest::newRow("odd last byte of a UTF-16 file kept")
            << Utf16Le(QStringLiteral("[A]\r\nk=1\r\n")) + '\x07' << QStringList{"A/k=2"}
            << Utf16Le(QStringLiteral("[A]\r\nk=2\r\n")) + '\x07' << "";
        QTest::newRow("UTF-16BE file stays UTF-16BE")
            << Utf16Be(QStringLiteral("[A]\r\nk=1\r\n")) << QStringList{"a/K=ç"}
            << Utf16Be(QStringLiteral("[A]\r\nk=ç\r\n")) << "";
        QTest::newRow("malformed bytes of a UTF-8 file with BOM are kept as U+FFFD, not decoded")
            << QByteArray("\xEF\xBB\xBF[LOG]\r\nx=\xC0\x8A[API]\xE2\x82\r\n") << QStringList{"A/k=1"}
            << Utf16Le(QStringLiteral("[LOG]\r\nx=\uFFFD\uFFFD[API]\uFFFD\r\n[A]\r\nk=1\r\n")) << "";
        QTest::newRow("UTF-8 file with BOM is written as UTF-16LE")
            << Utf8Bom(QStringLiteral("[LOG]\r\nnota=日本\r\n")) << QStringList{"A/k=ç"}
            << Utf16Le(QStringLiteral("[LOG]\r\nnota=日本\r\n[A]\r\nk=ç\r\n")) << "";
    }

    void profileIni()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, ops);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);

        test::TempFolder tmp;
        if (!before.isNull())
            tmp.write(QStringLiteral("p.ini"), before);
        const std::string path = tmp.file(QStringLiteral("p.ini")).toStdString();

        const QString message = ErrorOf([&] {
            ProfileIni ini(path);
            Apply(ini, ops);
        });

        QCOMPARE(message, error);
        const QByteArray expected = error.isEmpty() ? after : before;
        QCOMPARE(Entries(tmp.path()), expected.isNull() ? QStringList() : QStringList{QStringLiteral("p.ini")});
        QCOMPARE(tmp.read(QStringLiteral("p.ini")), expected);
    }
};

QTEST_APPLESS_MAIN(ConfigApiIniTest)
#include "test_config_api_ini.moc"
