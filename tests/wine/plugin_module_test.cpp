// The plug-in module as the host meets it: its two exports, the class factories and
// the objects they make.
#include "framework/paths.h"
#include "framework/registry.h"
#include "framework/win32/wide_text.h"
#include "tests/support/test_registry.h"
#include "tests/support/thread_timer.h"
#include "windows_api.h"
#include "xdk/Tallivex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const CLSID kPluginClass = {0xA3C41E07, 0x5B2D, 0x4F1E, {0x8C, 0x6A, 0x2D, 0x9B, 0x7E, 0x41, 0xF0, 0xC3}};
const CLSID kControlPluginClass = {0x5E8B2F90, 0x1C47, 0x4A3D, {0xB6, 0xE2, 0x7F, 0x0D, 0x93, 0xA1, 0x4C, 0x58}};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using InstallInit = int(WINAPI*)(void*, void*);

class PluginModule : public ::testing::Test {
protected:
    PluginModule()
    {
        CoInitialize(nullptr);
        const std::string path = MakePathSpec(GetParentPath(GetModuleFileNameA(nullptr))) + "DispenserPlugin.dll";
        module_ = LoadLibraryW(Widen(path).c_str());
        getClassObject_ = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        installInit_ =
            reinterpret_cast<InstallInit>(reinterpret_cast<void*>(GetProcAddress(module_, "TallivoxPlugin_InstallInit")));
    }
    ~PluginModule() override { CoUninitialize(); }

    TestRegistry registry_;
    HMODULE module_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    InstallInit installInit_ = nullptr;
};

TEST_F(PluginModule, ExportsItsTwoEntries)
{
    ASSERT_NE(module_, nullptr);
    EXPECT_NE(getClassObject_, nullptr);
    EXPECT_NE(installInit_, nullptr);
    EXPECT_EQ(GetProcAddress(module_, "DllRegisterServer"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "DllCanUnloadNow"), nullptr);
}

TEST_F(PluginModule, FactoriesHandOutTheirOnlyReference)
{
    ASSERT_NE(getClassObject_, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject_(kPluginClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->AddRef(), 2u); // the count was 1
    EXPECT_EQ(factory->Release(), 1u);

    IDispatch* plugin = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&plugin)), S_OK);
    ITallivoxPlugin* typed = nullptr;
    EXPECT_EQ(plugin->QueryInterface(__uuidof(ITallivoxPlugin), reinterpret_cast<void**>(&typed)), S_OK);
    typed->Release();
    EXPECT_EQ(plugin->Release(), 0u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, nullptr), E_INVALIDARG);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);

    IClassFactory* control = nullptr;
    ASSERT_EQ(getClassObject_(kControlPluginClass, IID_IClassFactory, reinterpret_cast<void**>(&control)), S_OK);
    ITallivoxControlPlugin* controlPlugin = nullptr;
    EXPECT_EQ(control->CreateInstance(nullptr, __uuidof(ITallivoxControlPlugin),
                                      reinterpret_cast<void**>(&controlPlugin)),
              S_OK);
    controlPlugin->Release();
    control->Release();
}

TEST_F(PluginModule, UnknownClassIsNoInterface)
{
    ASSERT_NE(getClassObject_, nullptr);
    void* out = nullptr;
    EXPECT_EQ(static_cast<unsigned long>(getClassObject_(IID_IDispatch, IID_IClassFactory, &out)), 0x80004002ul);
}

TEST_F(PluginModule, InstallerEntryRegistersTheClasses)
{
    ASSERT_NE(installInit_, nullptr);
    EXPECT_EQ(installInit_(nullptr, nullptr), 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{A3C41E07-5B2D-4F1E-8C6A-2D9B7E41F0C3}\\InProcServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    EXPECT_EQ(GetFileName(Narrow(path)), "DispenserPlugin.dll");
}

// The boxes of this thread, read and closed with OK as they come up (from a thread
// timer, which the box's own modal loop dispatches).
class BoxReader {
public:
    struct Box {
        std::string caption;
        std::string text;
    };
    std::vector<Box> boxes;

private:
    static std::string TextOf(HWND window)
    {
        wchar_t text[1024] = {};
        GetWindowTextW(window, text, static_cast<int>(std::size(text)));
        return Narrow(text);
    }
    static BOOL CALLBACK Read(HWND window, LPARAM self)
    {
        wchar_t name[16] = {};
        GetClassNameW(window, name, static_cast<int>(std::size(name)));
        if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
            reinterpret_cast<BoxReader*>(self)->boxes.push_back({TextOf(window), TextOf(GetDlgItem(window, 0xFFFF))});
            SendMessageW(window, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    }

    ThreadTimer timer_{50, [this] {
        EnumThreadWindows(GetCurrentThreadId(), &BoxReader::Read, reinterpret_cast<LPARAM>(this));
    }};
};

// A failed installation says so in a box captioned with the host's program name, naming
// the module and the reason, and the entry returns 0.
TEST_F(PluginModule, AFailedInstallationIsShownInABox)
{
    ASSERT_NE(installInit_, nullptr);
    RegKey host(RegistryRoot::LocalMachine, "Software\\Orvane\\Tallivox", true, RegAccessAll);
    host["Root Path"] = 7; // a number where the host's folder belongs
    int result = -1;
    BoxReader reader;
    result = installInit_(nullptr, nullptr);
    host["Root Path"].Delete();
    EXPECT_EQ(result, 0);
    ASSERT_EQ(reader.boxes.size(), 1u);
    EXPECT_EQ(reader.boxes[0].caption, GetFileName(GetModuleFileNameA(nullptr)));
    EXPECT_EQ(reader.boxes[0].text.rfind("Ошибка установки модуля \"", 0), 0u) << reader.boxes[0].text;
    EXPECT_NE(reader.boxes[0].text.find("DispenserPlugin.dll\": "), std::string::npos) << reader.boxes[0].text;
    EXPECT_NE(reader.boxes[0].text.find("Root Path"), std::string::npos) << reader.boxes[0].text;
}

} // namespace
