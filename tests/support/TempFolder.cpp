#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace brivel::test {

TempFolder::TempFolder() : dir_(QDir::tempPath() + QStringLiteral("/brivel-test-XXXXXX"))
{
    QVERIFY2(dir_.isValid(), "could not create a temporary folder");
}

QString TempFolder::path() const { return dir_.path() + QLatin1Char('/'); }

QString TempFolder::file(const QString& name) const { return path() + name; }

void TempFolder::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(f.errorString()));
    f.write(bytes);
}

QByteArray TempFolder::read(const QString& name) const { return ReadFile(file(name)); }

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace brivel::test
