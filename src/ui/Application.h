#pragma once
#include <QApplication>

namespace brivel::ui {

// Last line of defence: an exception that escapes an event handler is shown
// in the top-level error box instead of ending the program.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace brivel::ui
