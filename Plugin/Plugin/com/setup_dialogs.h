// The cassette and reject-bin setup dialogs of the service page. Each reads its values
// from the registry when it opens and writes them when the operator presses Ok; a field
// that holds no whole number from 0 to 4294967295 is reported and nothing is written.
// Both run modally on the calling (user-interface) thread, over `owner`.
#pragma once

#include "windows_api.h"

#include <string>

namespace Plugin {

// Edits cassette `number` (1 or 2; another raises InvalidValue); an empty title keeps
// the template's "Параметры кассеты". True on Ok.
bool RunCassetteSetup(HWND owner, const std::string& title, int number);
// Edits the reject bin's count and limit. True on Ok.
bool RunRejectSetup(HWND owner);

} // namespace Plugin
