#include "framework/paths.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

bool IsPathSeparator(char c)
{
    return c == '/';
}

char PreferredPathSeparator()
{
    return '/';
}

bool IsAbsolutePath(std::string_view path)
{
    return !path.empty() && path[0] == '/';
}

bool FileExists(std::string_view path)
{
    struct stat status {};
    return stat(std::string(path).c_str(), &status) == 0;
}

std::string GetEnvironmentText(const std::string& name, bool& found)
{
    const char* value = std::getenv(name.c_str());
    found = value != nullptr;
    return found ? value : "";
}

namespace {

void OwnModuleMarker() {}

} // namespace

ModuleHandle OwnModuleHandle()
{
    return reinterpret_cast<const void*>(&OwnModuleMarker);
}

std::string GetModuleFileNameA(ModuleHandle module)
{
    if (module != nullptr) {
        Dl_info info{};
        if (dladdr(module, &info) != 0 && info.dli_fname != nullptr) {
            char resolved[PATH_MAX];
            if (realpath(info.dli_fname, resolved) != nullptr)
                return resolved;
            return info.dli_fname;
        }
    }
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}
