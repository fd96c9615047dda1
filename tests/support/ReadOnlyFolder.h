#pragma once
#include <QString>

namespace brivel::test {

// Makes a folder read-only for everyone, root included (a read-only bind mount
// of the folder onto itself), until destroyed.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    bool ok() const { return ok_; }
    QString error() const { return error_; }

private:
    QString path_;
    bool ok_ = false;
    QString error_;
};

} // namespace brivel::test
