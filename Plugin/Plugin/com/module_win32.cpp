// The module's entry points: the class objects of the two classes, and the
// installer's entry. Nothing else is exported.
#include "Plugin/Dispenser/ui/scenario_dialog.h"
#include "Plugin/Plugin/com/class_factory.h"
#include "Plugin/Plugin/com/control_plugin.h"
#include "Plugin/Plugin/com/plugin_object.h"
#include "Plugin/Plugin/registration.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/paths.h"

namespace {

HMODULE g_module = nullptr;

IID ParseClassId(const char* text)
{
    IID id{};
    std::wstring wide(text, text + std::char_traits<char>::length(text));
    CLSIDFromString(wide.c_str(), &id);
    return id;
}

// The error box of a failed load or install, captioned with the host's program name.
// Called from the entries' handlers: nothing may leave it.
void ReportModuleError(const char* what, const char* unknownWhat, const std::string* reason) noexcept
{
    try {
        const std::string module = GetModuleFileNameA(g_module);
        const std::string text = reason != nullptr ? std::string(what) + "\"" + module + "\": " + *reason
                                                   : std::string(unknownWhat) + "\"" + module + "\"";
        ErrorMessage(text, nullptr, GetFileName(GetModuleFileNameA(nullptr)), 0);
    } catch (...) {
        // Out of memory or no module name: the entry's result still tells of the failure.
    }
}

template <class Factory>
HRESULT HandOutFactory(REFIID iid, void** out)
{
    auto* factory = new Factory();
    const HRESULT result = factory->QueryInterface(iid, out);
    factory->Release(); // the caller owns the one reference that remains on success
    return result;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // An orderly unload (FreeLibrary): the journal gets its CLOSE record. At process
        // termination (`reserved` set) the other threads are gone, perhaps holding the
        // log's or the handler's lock: nothing that could wait on them runs then.
        DispenserLogHandler::Release();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out)
{
    try {
        // Every object of the plug-in comes from here: its operations run under the
        // operator dialog from the first one on.
        DispenserScenario::InstallDialogRunner();
        if (IsEqualCLSID(classId, ParseClassId(Plugin::kPluginClassId)))
            return HandOutFactory<Plugin::ClassFactory<Plugin::Plugin, ITallivoxPlugin>>(iid, out);
        if (IsEqualCLSID(classId, ParseClassId(Plugin::kControlPluginClassId)))
            return HandOutFactory<Plugin::ClassFactory<Plugin::ControlPlugin, ITallivoxControlPlugin>>(iid, out);
        return E_NOINTERFACE;
    } catch (const OrvaneException& error) {
        ReportModuleError("Ошибка загрузки модуля ", "Неизвестная ошибка загрузки модуля ", &error.Reason());
    } catch (...) {
        ReportModuleError("Ошибка загрузки модуля ", "Неизвестная ошибка загрузки модуля ", nullptr);
    }
    return E_FAIL;
}

extern "C" int WINAPI TallivoxPlugin_InstallInit(void* /*first*/, void* /*second*/)
{
    try {
        Plugin::InstallPlugin(GetModuleFileNameA(g_module));
        return 1;
    } catch (const OrvaneException& error) {
        ReportModuleError("Ошибка установки модуля ", "Неизвестная ошибка установки модуля ", &error.Reason());
    } catch (...) {
        ReportModuleError("Ошибка установки модуля ", "Неизвестная ошибка установки модуля ", nullptr);
    }
    return 0;
}
