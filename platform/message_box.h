#pragma once
// The program's one way of telling the user something: a modal box with one
// short sentence and an OK button.

#include <QString>
#include <exception>
#include <utility>

namespace veskor {

// Shows `text` with an OK button, captioned with the application's name, and
// returns once the user has dismissed it.
void ShowMessage(const QString& text);

// Asks `text` with the buttons "Oui" and "Non"; true for "Oui". Closing the
// box otherwise counts as "Non".
bool AskYesNo(const QString& text);

// Shows the error's own text (French, Windows-1252 for the program's errors).
void ShowError(const std::exception& error);

// Runs one user command. An error escaping it ends the command where it is
// and is reported in a message box, as an event loop would; the program goes
// on. Returns false when the command failed.
template <class Command>
bool RunReported(Command&& command) {
  try {
    std::forward<Command>(command)();
    return true;
  } catch (const std::exception& error) {
    ShowError(error);
  } catch (...) {
    ShowMessage(QString());
  }
  return false;
}

}  // namespace veskor
