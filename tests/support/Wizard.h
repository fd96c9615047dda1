#pragma once
#include "UFrmSetupBrivelDB.h"
#include "support/ModalBoxes.h"
#include "support/TempFolder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

namespace brivel::test {

// The real wizard window, shown offscreen, with its executable folder pointed
// at a throwaway folder so configApi.ini and SQLite files land there.
class Wizard {
public:
    // AtOnce: shown with no event handled yet, as a fast user meets it (not painted).
    enum class Start { Exposed, AtOnce };
    explicit Wizard(Start start = Start::Exposed);
    ~Wizard();

    TFrmSetupBrivelDB& window() { return *window_; }
    const TempFolder& exeFolder() const { return folder_; }

    template <class T>
    T* get(const char* name) const
    {
        T* w = window_->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control named %s", name);
        return w;
    }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QLabel* label(const char* name) const { return get<QLabel>(name); }
    QPlainTextEdit* memo(const char* name) const { return get<QPlainTextEdit>(name); }
    QComboBox* kinds() const { return get<QComboBox>("cbBanco"); }
    QTabWidget* pages() const { return get<QTabWidget>("PageControl1"); }

    int page() const { return pages()->currentIndex(); }
    QString pageName() const { return pages()->currentWidget()->objectName(); }

    // A real mouse click on a button.
    void click(const char* name);
    // Picks a kind from the list as the user does.
    void selectKind(int index);
    // Types the texts into the connection page (replacing what is there).
    void type(const char* editName, const QString& text);
    void fillConnection(const QString& server, const QString& port, const QString& database, const QString& user,
                        const QString& password);

    // Where a database is and how to log in, as typed on the connection page.
    struct Login {
        QString server, port, database, user, password;
    };
    // Goes to the connection page, picks the kind, types the login and clicks
    // "Testar Conexão"; returns the boxes the test showed (closed with OK).
    QList<ModalBoxes::Box> testConnection(int kind, const Login& login);
    // Puts a link to the system's libpq beside the (test) executable folder.
    void linkLibpq() const;

    // memLog's lines with the timestamps removed.
    QStringList logMessages() const;
    QStringList logLines() const;

private:
    TempFolder folder_;
    std::unique_ptr<TFrmSetupBrivelDB> window_;
};

// A main() for GUI tests: the program's own application class, so a failure
// that escapes a handler is shown the way the program shows it.
#define BRIVEL_GUI_TEST_MAIN(TestClass)                                                                          \
    int main(int argc, char** argv)                                                                              \
    {                                                                                                            \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                                 \
        /* file dialogs keep their state in the user's settings: give each run its own */                        \
        QTemporaryDir brivelConfigHome_;                                                                         \
        qputenv("XDG_CONFIG_HOME", brivelConfigHome_.path().toLocal8Bit());                                      \
        brivel::ui::Application app(argc, argv);                                                                 \
        TestClass tc;                                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                               \
        return QTest::qExec(&tc, argc, argv);                                                                    \
    }

// The wizard's log from the installer's first line on ("Banco selecionado: ...").
QStringList InstallLog(const Wizard& wz);

} // namespace brivel::test
