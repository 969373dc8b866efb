// The registry hive file on POSIX. Its path comes from SetRegistryHivePath (the
// tools' --registry FILE) or else the environment variable DISPENSER_REGISTRY.
//
// Readers take no lock: every write replaces the whole file atomically (a
// temporary file in the same folder, fsync, rename, fsync of the folder), so a
// reader sees the old or the new hive, never a mix, and a writer killed at any
// moment leaves one of them. Writers read, change and replace the file under an
// exclusive advisory lock (flock on FILE.lock), so no write of any thread or
// process is lost.
#pragma once

#include "framework/registry_hive.h"

#include <functional>
#include <memory>
#include <string>

// Sets the hive file of this process; an empty path returns to DISPENSER_REGISTRY.
void SetRegistryHivePath(const std::string& path);
// The hive file of this process; raises InternalError when none is set.
std::string RegistryHivePath();

// The hive as stored now; a missing file is an empty hive.
Hive LoadHive(const std::string& path);
// The same for readers, shared: the file is read each time but parsed again only when its
// text differs from the last reading's.
std::shared_ptr<const Hive> ReadHive(const std::string& path);

// Runs `change` on the stored hive under the writer lock and stores the hive when
// it returns true. An exception from `change` stores nothing.
void ModifyHive(const std::string& path, const std::function<bool(Hive&)>& change);
