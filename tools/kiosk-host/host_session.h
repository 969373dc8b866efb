// The kiosk session object (ITallivoxSession): the session's text variables and the
// session extenders registered with it. One object serves the whole run.
#pragma once

#include "tools/kiosk-host/host_object.h"
#include "tools/kiosk-host/variable_store.h"

#include <vector>

class HostSession final : public HostObject<ITallivoxSession> {
public:
    using Extender = Microsoft::WRL::ComPtr<ITallivoxSessionExtender>;

    explicit HostSession(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo);

    HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR text) override;
    HRESULT STDMETHODCALLTYPE GetVariable(BSTR name, BSTR* text) override;
    // Keeps a reference to the extender until ReleaseExtenders.
    HRESULT STDMETHODCALLTYPE AddExtender(ITallivoxSessionExtender* extender) override;

    VariableStore& Variables() { return variables_; }
    // A copy of the list: an extender called from it may register another one.
    std::vector<Extender> Extenders() const { return extenders_; }
    void ReleaseExtenders() { extenders_.clear(); }

private:
    VariableStore variables_;
    std::vector<Extender> extenders_;
};
