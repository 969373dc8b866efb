// The plug-in's module as a host meets it: a DLL with the installer's entry and the
// class objects of its classes, reached by the exported names alone.
#pragma once

#include "windows_api.h"

#include <unknwn.h>
#include <wrl/client.h>

#include <memory>
#include <type_traits>
#include <string>

// The class of the plug-in object (ITallivoxPlugin), started for every kiosk run.
inline constexpr CLSID kDispenserPluginClass = {
    0xA3C41E07, 0x5B2D, 0x4F1E, {0x8C, 0x6A, 0x2D, 0x9B, 0x7E, 0x41, 0xF0, 0xC3}};
// The class of the control plug-in (ITallivoxControlPlugin), the service page of the
// host's control application; created by the control application's commands.
inline constexpr CLSID kDispenserControlPluginClass = {
    0x5E8B2F90, 0x1C47, 0x4A3D, {0xB6, 0xE2, 0x7F, 0x0D, 0x93, 0xA1, 0x4C, 0x58}};

class PluginModule {
public:
    // Loads the DLL; throws HostError when it cannot be loaded.
    explicit PluginModule(const std::string& path);

    // Calls TallivoxPlugin_InstallInit(nullptr, nullptr) and returns its result (1 on
    // success); throws HostError when the module has no such entry.
    int RunInstaller() const;

    // A new object of the class through DllGetClassObject and IClassFactory, asked
    // for interface iid; throws HostError with the failing step's HRESULT.
    Microsoft::WRL::ComPtr<IUnknown> CreateObject(REFCLSID classId, REFIID iid) const;

private:
    struct ModuleDeleter {
        void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
    };

    // The exported function of that name; throws HostError when it is missing.
    FARPROC Export(const char* name) const;

    std::string path_;
    std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter> module_;
};
