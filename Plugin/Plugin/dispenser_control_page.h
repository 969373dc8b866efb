// The dispenser's page in the host's control application.
#pragma once

#include "Plugin/Plugin/control_plugin.h"

namespace Plugin {

class DispenserControlPage : public TVXDK::Standard::ControlPluginPage {
public:
    DispenserControlPage(ITypeInfo* typeInfo, ITallivoxControlSite* site);
};

} // namespace Plugin
