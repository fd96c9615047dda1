#include "ui/MessageBoxes.h"

#include "ui/QtTranslation.h"
#include "ui/TextConv.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <exception>

namespace brivel::ui {

namespace {
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& message)
{
    QMessageBox box(icon, title, BoxText(message), QMessageBox::Ok, parent);
    box.setProperty("message", message);
    box.exec();
}
} // namespace

QString BoxText(const QString& message)
{
    // Server texts indent their hint lines with a tab (libpq's "connection
    // refused"); in a box a tab is a wide gap, so such lines start flush.
    QString text = ToLf(message);
    static const QRegularExpression indent(QStringLiteral("\n[\t ]*\t[\t ]*"));
    text.replace(indent, QStringLiteral("\n"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

void ShowInformation(QWidget* parent, const QString& message)
{
    ShowBox(parent, QMessageBox::Information, QStringLiteral("Information"), message);
}

void ShowError(QWidget* parent, const QString& message)
{
    ShowBox(parent, QMessageBox::Critical, QStringLiteral("Error"), message);
}

bool AskStopOperation(QWidget* parent, const QString& question)
{
    LoadQtTranslation();  // before the buttons get our texts
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmação"), BoxText(question),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setProperty("message", question);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sim"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Não"));
    return box.exec() == QMessageBox::Yes;
}

bool AskYesNo(QWidget* parent, const QString& question)
{
    return AskStopOperation(parent, question);
}

QString ApplicationTitle()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName().section(QLatin1Char('.'), 0, 0);
}

QString TopLevelErrorText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void ShowTopLevelError(const QString& message)
{
    ShowBox(QApplication::activeWindow(), QMessageBox::Critical, ApplicationTitle(), TopLevelErrorText(message));
}

void Guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowTopLevelError(Q(e.what()));
    } catch (...) {
        ShowTopLevelError(QStringLiteral("Erro desconhecido"));
    }
}

} // namespace brivel::ui
