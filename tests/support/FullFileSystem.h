#pragma once
#include "support/TempFolder.h"

#include <QString>

namespace brivel::test {

// A small tmpfs of its own (root only), which fill() then fills to the last
// byte: from there every write into it fails with "No space left on device".
// Unmounted when destroyed.
class FullFileSystem {
public:
    FullFileSystem();
    ~FullFileSystem();
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;

    bool ok() const { return ok_; }
    QString error() const { return error_; }
    QString file(const QString& name) const { return folder_.file(name); }
    QString path() const { return folder_.path(); }

    // Writes a filler file until the file system refuses another byte.
    bool fill();

private:
    TempFolder folder_;
    bool ok_ = false;
    QString error_;
};

} // namespace brivel::test
