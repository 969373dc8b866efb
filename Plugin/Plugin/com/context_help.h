// Context help of the service page and its dialogs: a text popup of the help file
// beside the plug-in module, through HTML Help taken at first use.
#pragma once

#include "windows_api.h"

#include <span>
#include <string>

// One row of a context-help table: a control's id and its text id in the help file.
struct HelpTopic {
    int control;
    int helpId;
};

// The help file: "DispenserPlugin.chm" in the plug-in module's folder.
std::string HelpFilePath();

// Shows the popup of the control's help text when its id is in the table. Nothing
// happens when it is not, or when HTML Help is not available in this process.
void ShowContextHelp(HWND control, std::span<const HelpTopic> table);
