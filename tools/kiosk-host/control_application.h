// The host's control application: a control plug-in's pages in the property sheet
// "Настройка киоска", for the operator or unattended. Runs on the host's thread.
#pragma once

#include "tools/kiosk-host/plugin_caller.h"
#include "xdk/Tallivex.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <filesystem>

enum class ControlRun {
    Operator,         // the operator closes the sheet
    ApplyAndOk,       // unattended: Apply, then OK; Cancel when a page refuses
    PictureAndCancel, // unattended: a picture of the sheet, then Cancel
};

struct ControlRequest {
    ControlRun run = ControlRun::Operator;
    std::filesystem::path picture; // PictureAndCancel: the BMP file
    HWND owner = nullptr;          // the sheet's owner window
};

// Makes a control site (of the given type information), lets the plug-in add its pages
// (CreatePages), shows them, prints how the sheet was closed, and releases the pages.
// Every failure, an unattended Apply refused and a plug-in without pages are reported
// on standard error and noted on `caller`; throws HostError only for the host's own
// failures (a sheet that cannot be shown).
void RunControlApplication(ITallivoxControlPlugin* plugin, Microsoft::WRL::ComPtr<ITypeInfo> siteType,
                           PluginCaller& caller, const ControlRequest& request);
