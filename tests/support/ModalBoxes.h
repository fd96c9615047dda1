#pragma once
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>

class QFileDialog;

namespace brivel::test {

// Answers the modal message boxes a handler opens: each is recorded and closed
// with OK from a timer, so the handler under test runs to its end.
class ModalBoxes {
public:
    struct Box {
        QString title;
        QString text;     // as displayed
        QString message;  // as the program gave it (CR LF kept)
        QMessageBox::Icon icon;
    };
    ModalBoxes();
    ~ModalBoxes();
    QList<Box> seen;
    // Runs on each box before it is closed (e.g. to act while it is open).
    std::function<void(QMessageBox*)> onBox;
    // The button each box is closed with; OK when unset (a question then reads as "Não").
    std::function<QMessageBox::StandardButton(QMessageBox*)> answer;

private:
    QTimer timer_;
};

// Answers the next file dialog: with a file name (typed into its name field) or by cancelling.
class FileDialogAnswer {
public:
    explicit FileDialogAnswer(const QString& fileName);  // empty: cancel
    ~FileDialogAnswer();
    bool shown() const { return shown_; }
    QString suggestedName;  // the name field's text when the dialog opened
    QStringList nameFilters;
    QString defaultSuffix;
    QStringList texts;  // its labels' and buttons' texts, as shown

private:
    QTimer timer_;
    QString fileName_;
    bool shown_ = false;
};

} // namespace brivel::test
