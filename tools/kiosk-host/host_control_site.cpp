#include "tools/kiosk-host/host_control_site.h"

#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/window_number.h"

#include <commctrl.h>
#include <prsht.h>

#include <string>

HostControlSite::HostControlSite(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo) : HostObject(std::move(typeInfo)) {}

HRESULT STDMETHODCALLTYPE HostControlSite::AddPage(IUnknown* page, BSTR modulePath, BSTR templateName)
{
    if (page == nullptr)
        return E_POINTER;
    if (sheetOpen_)
        return E_UNEXPECTED;
    if (SysStringLen(modulePath) == 0 || SysStringLen(templateName) == 0)
        return E_INVALIDARG;
    return GuardedMethod([&] {
        auto record = std::make_unique<ControlPage>();
        HRESULT result =
            page->QueryInterface(__uuidof(ITallivoxControlPage), reinterpret_cast<void**>(record->object.GetAddressOf()));
        if (FAILED(result))
            return result;
        const std::wstring path(modulePath, SysStringLen(modulePath));
        // The page object's module is loaded already and then is simply referenced; any
        // other module serves only its resources and none of its code runs.
        record->module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!record->module)
            return HRESULT_FROM_WIN32(GetLastError());
        record->templateName.assign(templateName, SysStringLen(templateName));
        // Found now rather than as a sheet that fails to open.
        if (FindResourceW(record->module.get(), record->templateName.c_str(), RT_DIALOG) == nullptr)
            return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
        record->name = BstrToUtf8(templateName);
        pages_.push_back(std::move(record));
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE HostControlSite::SetModified(LONG window, LONG modified)
{
    const HWND pageWindow = WindowOfNumber(window);
    for (const auto& page : pages_) {
        if (page->window == nullptr || page->window != pageWindow)
            continue;
        const HWND sheet = GetParent(pageWindow);
        if (modified != 0)
            PropSheet_Changed(sheet, pageWindow);
        else
            PropSheet_UnChanged(sheet, pageWindow);
        return S_OK;
    }
    return E_INVALIDARG;
}
