#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace brivel::ui {

// The information and error boxes: one OK button, the toolkit's English titles.
// The text is shown with "\n" breaks; the box keeps the message as given in its
// "message" property.
void ShowInformation(QWidget* parent, const QString& message);
void ShowError(QWidget* parent, const QString& message);

// What a box displays for `message`: "\n" breaks, tab-indented lines flush.
QString BoxText(const QString& message);

// Whether to stop the operation running now (Sim/Não, "Não" the default).
bool AskStopOperation(QWidget* parent, const QString& question);

// A yes/no question ("Sim"/"Não", "Não" the default); true for "Sim".
bool AskYesNo(QWidget* parent, const QString& question);

// The application's title: the executable's file name cut at its first full stop.
QString ApplicationTitle();

// The display of a failure that left an event handler: an error box captioned
// with the application's title; a full stop is appended when the message's last
// character has a code above that of the full stop.
void ShowTopLevelError(const QString& message);
QString TopLevelErrorText(const QString& message);

// Runs a handler so that no exception escapes into the toolkit.
void Guarded(const std::function<void()>& handler);

} // namespace brivel::ui
