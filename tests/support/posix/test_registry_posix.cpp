#include "tests/support/test_registry.h"

#include "framework/posix/registry_hive_file.h"
#include "tests/support/temp_folder.h"

struct TestRegistry::State {
    TempFolder folder;
};

TestRegistry::TestRegistry() : state_(std::make_unique<State>()), path_("Software\\OrvaneTests")
{
    hiveFile_ = state_->folder.File("registry.reg");
    SetRegistryHivePath(hiveFile_);
}

TestRegistry::~TestRegistry()
{
    SetRegistryHivePath("");
}

RegistryRoot TestRegistry::Root() const
{
    return RegistryRoot::LocalMachine;
}
