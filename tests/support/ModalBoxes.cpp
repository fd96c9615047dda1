#include "support/ModalBoxes.h"

#include <QApplication>
#include <QFileDialog>
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

namespace brivel::test {

ModalBoxes::ModalBoxes()
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("brivelAnswered").toBool())
            return;
        box->setProperty("brivelAnswered", true);
        seen.append({box->windowTitle(), box->text(), box->property("message").toString(), box->icon()});
        if (onBox)
            onBox(box);
        box->done(answer ? answer(box) : QMessageBox::Ok);
    });
    timer_.start();
}

ModalBoxes::~ModalBoxes() { timer_.stop(); }

FileDialogAnswer::FileDialogAnswer(const QString& fileName) : fileName_(fileName)
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer_.stop();
        shown_ = true;
        auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        suggestedName = nameEdit ? nameEdit->text() : QString();
        nameFilters = dialog->nameFilters();
        defaultSuffix = dialog->defaultSuffix();
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            texts << label->text();
        for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            if (!button->text().isEmpty())
                texts << button->text();
        if (fileName_.isEmpty()) {
            dialog->reject();
            return;
        }
        // accept() with the name typed into the field: selectFile() alone does
        // not close the widget dialog while its name field has the focus.
        if (nameEdit)
            nameEdit->setText(fileName_);
        static_cast<QDialog*>(dialog)->accept();
    });
    timer_.start();
}

FileDialogAnswer::~FileDialogAnswer() { timer_.stop(); }

} // namespace brivel::test
