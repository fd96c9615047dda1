#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace brivel::test {

// A throwaway folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    // The folder with a trailing "/".
    QString path() const;
    QString file(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
};

QByteArray ReadFile(const QString& path);

} // namespace brivel::test
