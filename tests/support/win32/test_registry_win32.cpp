#include "tests/support/test_registry.h"

#include "windows_api.h"

#include <atomic>
#include <string>

struct TestRegistry::State {
    std::string name;
};

TestRegistry::TestRegistry() : state_(std::make_unique<State>())
{
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
}

RegistryRoot TestRegistry::Root() const
{
    return RegistryRoot::CurrentUser;
}
