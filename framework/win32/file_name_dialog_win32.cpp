#include "framework/win32/file_name_dialog.h"

#include "framework/paths.h"
#include "framework/text_utils.h"
#include "framework/win32/wide_text.h"

#include <commdlg.h>

#include <mutex>

namespace {

std::mutex g_hookMutex;
FileNameDialogHook g_hook;

// The type whose extension the name ends with, or -1.
int TypeOfName(const std::vector<FileType>& fileTypes, const std::string& name)
{
    int typeIndex = -1;
    const std::string fileName = GetFileName(name);
    for (std::size_t i = 0; i < fileTypes.size(); ++i) {
        const std::string& typeExtension = fileTypes[i].second;
        if (fileName.size() > typeExtension.size() &&
            EqualsNoCase(std::string_view(fileName).substr(fileName.size() - typeExtension.size()), typeExtension))
            typeIndex = static_cast<int>(i);
    }
    return typeIndex;
}

} // namespace

FileNameDialogHook SetFileNameDialogHook(FileNameDialogHook hook)
{
    std::lock_guard lock(g_hookMutex);
    return std::exchange(g_hook, std::move(hook));
}

bool FileNameDlg(HWND owner, int mode, const std::vector<FileType>& fileTypes, const std::string& directory,
                 std::string& name, int& typeIndex, int /*flags*/, const std::string& defaultExtension)
{
    FileNameDialogHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        FileNameRequest request{owner, mode, fileTypes, name, typeIndex};
        if (!hook(request))
            return false;
        name = request.name;
        typeIndex = TypeOfName(fileTypes, name);
        return true;
    }

    std::wstring filter;
    for (const auto& [typeName, extension] : fileTypes) {
        filter += Widen(typeName);
        filter.push_back(L'\0');
        filter += L"*" + Widen(extension);
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');

    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring start = Widen(name);
    start.copy(file.data(), std::min(start.size(), file.size() - 1));
    const std::wstring initialDirectory = Widen(directory);
    const std::wstring extension = Widen(defaultExtension.empty() ? "" : defaultExtension.substr(1));

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = typeIndex >= 0 ? static_cast<DWORD>(typeIndex + 1) : 0;
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrInitialDir = initialDirectory.empty() ? nullptr : initialDirectory.c_str();
    request.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                    (mode == kFileNameDlgSave ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = mode == kFileNameDlgSave ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
    if (!chosen)
        return false;
    name = Narrow(file.data());
    // The type is the one the chosen name's extension says.
    typeIndex = TypeOfName(fileTypes, name);
    return true;
}
