#include "tools/kiosk-host/host_type_library.h"

#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/host_error.h"
#include "tools/kiosk-host/program_path.h"

#include <oleauto.h>

HostTypeLibrary::HostTypeLibrary()
{
    const std::wstring path = ProgramPath().wstring();
    const HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library_);
    if (FAILED(result))
        throw HostError("the host's type library cannot be loaded: HRESULT " + HresultText(result));
}

Microsoft::WRL::ComPtr<ITypeInfo> HostTypeLibrary::TypeInfo(REFIID iid) const
{
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    const HRESULT result = library_->GetTypeInfoOfGuid(iid, &info);
    if (FAILED(result))
        throw HostError("an interface is missing from the host's type library: HRESULT " + HresultText(result));
    return info;
}
