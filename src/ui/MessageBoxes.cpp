#include "ui/MessageBoxes.h"

#include "ui/TextConv.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <exception>

namespace brivel::ui {

namespace {
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& message)
{
    QMessageBox box(icon, title, ToLf(message), QMessageBox::Ok, parent);
    box.setProperty("message", message);
    box.exec();
}
} // namespace

void ShowInformation(QWidget* parent, const QString& message)
{
    ShowBox(parent, QMessageBox::Information, QStringLiteral("Information"), message);
}

void ShowError(QWidget* parent, const QString& message)
{
    ShowBox(parent, QMessageBox::Critical, QStringLiteral("Error"), message);
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
