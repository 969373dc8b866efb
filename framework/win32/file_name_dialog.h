// FileNameDlg: the system's open/save file-name dialog over a list of file types.
#pragma once

#include "windows_api.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// A file type: its name as shown and its extension with the dot (".rtf").
using FileType = std::pair<std::string, std::string>;

constexpr int kFileNameDlgSave = 2;

// Shows the dialog in save mode (2; other modes open) on `owner`, starting from
// `name` in `directory` with the type `typeIndex` (-1: none) and `defaultExtension`
// added to a name typed without one. Returns false when the operator cancelled. On
// success `name` is the chosen path and `typeIndex` the type whose extension the
// name ends with, or -1 when the name's type cannot be told.
bool FileNameDlg(HWND owner, int mode, const std::vector<FileType>& fileTypes, const std::string& directory,
                 std::string& name, int& typeIndex, int flags, const std::string& defaultExtension = {});

// What a file-name dialog is asked; a hook answers in place of the operator (tests):
// it sets `name` and returns true for a chosen file, false for a cancelled dialog.
struct FileNameRequest {
    HWND owner = nullptr;
    int mode = 0;
    std::vector<FileType> fileTypes;
    std::string name;
    int typeIndex = -1;
};
using FileNameDialogHook = std::function<bool(FileNameRequest&)>;

// Installs a hook that answers every file-name dialog; returns the previous one.
FileNameDialogHook SetFileNameDialogHook(FileNameDialogHook hook);
