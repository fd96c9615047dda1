#pragma once
// Start-up probe shared by the wizard and the bare window: stops the process at
// the first paint of the watched window and prints what it cost to get there.
#include <QObject>

class QWidget;

namespace brivel::bench {

// Nanoseconds of CLOCK_MONOTONIC, the clock the launcher reads before exec (on
// Windows, of the system clock).
long long MonotonicNs();

// Prints one line "paint_ns=... frame_ns=... cpu_us=... maxrss_kb=... dblibs=... qt_translated=yes|no
// files=a,b,..." (what was loaded at the first paint: mapped files, on Windows modules; on Windows
// "created_paint_ns=... created_frame_ns=...", from the process's creation) and
// exits the process once the first frame of `window` is done.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finish();
    static QByteArray LoadedFiles();

    QWidget* window_;
    bool painted_ = false;
    long long paintNs_ = 0;
    long rssKb_ = 0;
    long long cpuUs_ = 0;
    QByteArray dbLibs_;
    QByteArray files_;
    bool translated_ = false;
};

} // namespace brivel::bench
