#include "tools/kiosk-host/plugin_module.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/host_error.h"

namespace {

using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using InstallerEntry = int(WINAPI*)(void*, void*);

template <class Function>
Function As(FARPROC entry)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

} // namespace

PluginModule::PluginModule(const std::string& path) : path_(path), module_(LoadLibraryW(Widen(path).c_str()))
{
    if (!module_)
        throw HostError("the plug-in \"" + path + "\" cannot be loaded: error " + std::to_string(GetLastError()));
}

FARPROC PluginModule::Export(const char* name) const
{
    const FARPROC entry = GetProcAddress(module_.get(), name);
    if (entry == nullptr)
        throw HostError("the plug-in \"" + path_ + "\" does not export " + name);
    return entry;
}

int PluginModule::RunInstaller() const
{
    return As<InstallerEntry>(Export("TallivoxPlugin_InstallInit"))(nullptr, nullptr);
}

Microsoft::WRL::ComPtr<IUnknown> PluginModule::CreateObject(REFCLSID classId, REFIID iid) const
{
    const auto getClassObject = As<GetClassObjectEntry>(Export("DllGetClassObject"));
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    HRESULT result = getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
    if (FAILED(result))
        throw HostError("DllGetClassObject failed: HRESULT " + HresultText(result));
    Microsoft::WRL::ComPtr<IUnknown> object;
    result = factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(result))
        throw HostError("IClassFactory::CreateInstance failed: HRESULT " + HresultText(result));
    return object;
}
