#pragma once

#include <QString>

#include <optional>
#include <string>

namespace updater {

enum class DialogIcon { None, Stop, Information, Question };
enum class DialogButtons { Ok, YesNo };
enum class DialogAnswer { Ok, Yes, No };

// Every box of the program goes through these calls. They may be called from any thread: the box
// is shown on the window thread and the caller waits for the answer. Texts are 8-bit (Latin-1).
//
// Unattended runs (read once, platform/UnattendedSwitches.h): UPDATER_DIALOG_LOG=<file> appends one
// JSON line per closed box; UPDATER_DIALOG_ANSWERS=<a,b,...> answers every box at once with the
// next answer of the list (OK, Yes, No), then with the box's default button.

// A message box without owner window: the main window stays usable while it is open.
DialogAnswer messageBox(const std::string& text, const std::string& title, DialogIcon icon,
                        DialogButtons buttons = DialogButtons::Ok);

// The toolkit's plain message dialog: the application's title, an OK button, no icon.
void showMessage(const std::string& text);
// The same for a text that is not the launcher's own 8-bit text (an archive's comment).
void showUnicodeMessage(const QString& text);

// The toolkit's confirmation dialog: title "Confirm", question icon, Yes (default) and No;
// Escape and closing the box answer No. Returns true for Yes.
bool confirmYesNo(const std::string& text);

// The toolkit's input box for a whole number, owner-less like the message boxes: the text above a
// field holding `current` (from `lowest` to `highest`), OK (default) and Cancel. The number, or
// nothing when cancelled. Unattended, it takes `current` at once (a scripted No cancels it); the
// journal line adds "value".
std::optional<int> askNumber(const std::string& text, const std::string& title, int current, int lowest,
                             int highest);

// The standard error box for errors that escape a handler: application title, stop icon.
void showErrorBox(const std::string& text);

// The title the plain and error dialogs carry.
std::string applicationTitle();

} // namespace updater
