// The control plug-in: it hands the host's control application the dispenser's page.
#pragma once

#include "xdk/automation_object.h"

namespace Plugin {

class ControlPlugin final : public TallivoxObject2<ITallivoxControlPlugin> {
public:
    explicit ControlPlugin(ITypeInfo* typeInfo) : TallivoxObject2<ITallivoxControlPlugin>(typeInfo) {}
    HRESULT STDMETHODCALLTYPE CreatePages(IUnknown* site) override;
};

} // namespace Plugin
