#include "Plugin/Dispenser/scenario.h"

namespace DispenserScenario {

// Without windows every run is headless.
bool Request::Run(WindowHandle parent)
{
    return RunHeadless(parent);
}

} // namespace DispenserScenario
