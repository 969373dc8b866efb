// A scratch part of the registry for one test: on POSIX a fresh hive file that the
// process uses for the test's life; on Windows a fresh key under HKEY_CURRENT_USER
// that is deleted afterwards, and the product's keys under
// HKEY_LOCAL_MACHINE\Software\Orvane deleted before and after. Tests open scratch
// keys below Root()/Path(), and the product's keys where the product keeps them.
#pragma once

#include "framework/registry.h"

#include <memory>
#include <string>

class TestRegistry {
public:
    TestRegistry();
    ~TestRegistry();
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    RegistryRoot Root() const;
    // The scratch key's path under Root(); Key("a\\b") is a path below it.
    const std::string& Path() const { return path_; }
    std::string Key(const std::string& relative) const { return path_ + "\\" + relative; }

    // POSIX: the hive file; Windows: empty.
    const std::string& HiveFile() const { return hiveFile_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string path_;
    std::string hiveFile_;
};
