#pragma once
#include <QApplication>

namespace brivel::ui {

// Last line of defence: an exception that escapes an event handler is shown
// in the top-level error box instead of ending the program.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    bool awaitQtTexts(QObject* receiver, QEvent* event);
    void loadQtTexts();

    // Qt's translation is read after the first paint, not at start-up.
    enum class QtTexts { Waiting, Queued, Loaded };
    QtTexts qtTexts_ = QtTexts::Waiting;
};

} // namespace brivel::ui
