// The host interfaces' type library. The host carries its own copy as the TYPELIB
// resource of its program and loads it without registering anything, so that its
// objects dispatch late-bound calls before any plug-in is loaded.
#pragma once

#include "windows_api.h"

#include <oaidl.h>
#include <wrl/client.h>

class HostTypeLibrary {
public:
    // Loads the library from the running program; throws HostError when it cannot.
    HostTypeLibrary();

    // The type information of one interface of the library; throws HostError.
    Microsoft::WRL::ComPtr<ITypeInfo> TypeInfo(REFIID iid) const;

private:
    Microsoft::WRL::ComPtr<ITypeLib> library_;
};
