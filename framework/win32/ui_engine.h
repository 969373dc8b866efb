// The UI engine: the modal run of a dialog window, the routing of keyboard input to
// modeless dialogs, and the dispatch of one message from a local loop. All of it
// runs on the thread that owns the windows.
#pragma once

#include "windows_api.h"

// The thread message that ends a modal run; its wParam becomes the end code, its
// lParam names the run's window (see PostEndModalRun).
constexpr UINT kEndModalRunMessage = 0x4400;

// Ends the modal run of `window` with `code`, also when other runs were nested in it
// on the same thread meanwhile: they keep running, and it ends once they have.
void PostEndModalRun(HWND window, int code);

// Shows `window` with `showCommand` (SW_SHOW 5 or SW_HIDE 0), disables its owner, and
// dispatches messages until the thread message 0x4400 for this run arrives (lParam the
// window, or a value below 0x10000 for whichever run is innermost); its wParam is
// stored in `result`. An end message for an outer run that arrives meanwhile is kept
// and posted again when this run ends. Returns S_OK, or an error result when the run
// could not end normally (the thread's quit message arrived first: it is posted again
// for the host).
HRESULT QortoExecute(HWND window, int& result, int showCommand);

// Routes keyboard input of a modeless dialog (Tab, Enter, Esc, accelerators of its
// controls) for the life of the window.
void QortoModelessDialog(HWND window);

// Dispatches one message as the engine does.
void QortoProcessMessage(MSG& message);

// Raises CoError for a failed engine result.
void CheckQortoResult(HRESULT result, const char* file, int line);
