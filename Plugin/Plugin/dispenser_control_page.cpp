#include "Plugin/Plugin/dispenser_control_page.h"

namespace Plugin {

DispenserControlPage::DispenserControlPage(ITypeInfo* typeInfo, ITallivoxControlSite* site)
    : ControlPluginPage(typeInfo, site, "Диспенсер")
{
}

} // namespace Plugin
