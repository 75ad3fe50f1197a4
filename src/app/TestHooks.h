#pragma once

// Seams for tests, and only for them: nothing in the program calls what is declared here (see
// platform/TestHooks.h).

#include "app/Dialogs.h"

#include <QString>

#include <vector>

namespace updater {

// From now on every box is answered at once, first with these answers in order, then with its
// default button.
void setDialogAnswers(const std::vector<DialogAnswer>& answers);
// Where closed boxes are journaled (empty: nowhere).
void setDialogJournal(const QString& path);

// Forgets a quit request, for tests that reuse one process for several runs.
void resetQuitRequest();

} // namespace updater
