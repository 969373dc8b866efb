#include "tests/support/test_registry.h"

#include "windows_api.h"

#include <atomic>
#include <string>

struct TestRegistry::State {
    std::string name;
};

namespace {

// The product's own keys live at fixed places under HKEY_LOCAL_MACHINE; every test
// starts and ends without them (the wine test programs run one after the other).
void DeleteProductKeys()
{
    RegKey software(RegistryRoot::LocalMachine, "Software", false, RegAccessAll);
    if (software.IsOpen())
        software.DeleteTree("Orvane");
}

} // namespace

TestRegistry::TestRegistry() : state_(std::make_unique<State>())
{
    DeleteProductKeys();
    // Test programs may run side by side in one wine prefix: each takes its own key.
    static std::atomic<unsigned> counter{0};
    state_->name = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    path_ = "Software\\OrvaneTests\\" + state_->name;
}

TestRegistry::~TestRegistry()
{
    RegKey parent(RegistryRoot::CurrentUser, "Software\\OrvaneTests", false, RegAccessAll);
    if (parent.IsOpen())
        parent.DeleteTree(state_->name);
    DeleteProductKeys();
}

RegistryRoot TestRegistry::Root() const
{
    return RegistryRoot::CurrentUser;
}
