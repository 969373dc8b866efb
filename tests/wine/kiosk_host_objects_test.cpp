// kiosk-host's objects as the plug-in meets them: reached through the vtable and
// late-bound through their IDispatch, and the host's calls into an extender by either
// binding, with the arguments where the interface puts them.
#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/host_application.h"
#include "tools/kiosk-host/host_session.h"
#include "tools/kiosk-host/host_terminal.h"
#include "tools/kiosk-host/host_type_library.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

// The arguments of a late-bound call, last first; cleared at the end.
class Arguments {
public:
    explicit Arguments(std::vector<VARIANT> reversed) : items_(std::move(reversed)) {}
    ~Arguments()
    {
        for (VARIANT& item : items_)
            VariantClear(&item);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    DISPPARAMS Parameters()
    {
        DISPPARAMS parameters{};
        parameters.rgvarg = items_.data();
        parameters.cArgs = static_cast<UINT>(items_.size());
        return parameters;
    }

private:
    std::vector<VARIANT> items_;
};

VARIANT Text(const std::string& text)
{
    VARIANT variant;
    VariantInit(&variant);
    V_VT(&variant) = VT_BSTR;
    V_BSTR(&variant) = MakeBstr(text).release();
    return variant;
}

VARIANT Flag(bool on)
{
    VARIANT variant;
    VariantInit(&variant);
    V_VT(&variant) = VT_BOOL;
    V_BOOL(&variant) = on ? VARIANT_TRUE : VARIANT_FALSE;
    return variant;
}

// Calls a method by name through IDispatch; the result goes to returned.
HRESULT CallByName(IUnknown* object, const wchar_t* method, Arguments& arguments, VARIANT* returned)
{
    ComPtr<IDispatch> dispatch;
    HRESULT result = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(result))
        return result;
    std::wstring name = method;
    LPOLESTR names[] = {name.data()};
    DISPID member = DISPID_UNKNOWN;
    result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
    if (FAILED(result))
        return result;
    DISPPARAMS parameters = arguments.Parameters();
    return dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, returned, nullptr,
                            nullptr);
}

// A terminal extender that records its device-state calls and answers them with a
// given result.
class RecordingExtender final : public HostObject<ITallivoxTerminalExtender> {
public:
    struct DeviceState {
        IUnknown* terminal;
        std::string device;
        LONG failed;
    };

    RecordingExtender(ComPtr<ITypeInfo> typeInfo, HRESULT answer) : HostObject(std::move(typeInfo)), answer_(answer)
    {
    }

    HRESULT STDMETHODCALLTYPE OnTerminalStarted(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnTerminalStopped(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnTerminalEvent(IUnknown*, BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceState(IUnknown* terminal, BSTR device, LONG failed) override
    {
        calls.push_back({terminal, BstrToUtf8(device), failed});
        return answer_;
    }
    HRESULT STDMETHODCALLTYPE OnTerminalLocked(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnTerminalUnlocked(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnServiceStarted(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnServiceFinished(IUnknown*) override { return S_OK; }

    std::vector<DeviceState> calls;

private:
    HRESULT answer_;
};

class HostObjectsTest : public ::testing::Test {
protected:
    HostObjectsTest() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~HostObjectsTest() override { CoUninitialize(); }

    HostTypeLibrary types_;
};

TEST_F(HostObjectsTest, SessionVariablesLateBound)
{
    const ComPtr<HostSession> session = MakeHostObject<HostSession>(types_.TypeInfo(__uuidof(ITallivoxSession)));
    Arguments set({Text("Выдано"), Text("Dispenser.Message")}); // name first, so last in the array
    ASSERT_EQ(CallByName(session.Get(), L"SetVariable", set, nullptr), S_OK);
    EXPECT_EQ(session->Variables().Get("dispenser.message"), "Выдано");

    Arguments get({Text("DISPENSER.MESSAGE")});
    VARIANT returned;
    VariantInit(&returned);
    ASSERT_EQ(CallByName(session.Get(), L"GetVariable", get, &returned), S_OK);
    ASSERT_EQ(V_VT(&returned), VT_BSTR);
    EXPECT_EQ(BstrToUtf8(V_BSTR(&returned)), "Выдано");
    VariantClear(&returned);

    // A variable never set reads as the empty text, through the vtable too.
    BSTR text = nullptr;
    ASSERT_EQ(session->GetVariable(MakeBstr("Dispenser.Result").get(), &text), S_OK);
    const UniqueBstr owned(text);
    EXPECT_EQ(BstrToUtf8(text), "");
}

TEST_F(HostObjectsTest, DispatchReportsOneTypeInfo)
{
    const ComPtr<HostApplication> application =
        MakeHostObject<HostApplication>(types_.TypeInfo(__uuidof(ITallivoxApplication)), ApplicationInfo{});
    UINT count = 0;
    EXPECT_EQ(application->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(application->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(application->GetTypeInfo(0, 0, &info), S_OK);
    EXPECT_NE(info, nullptr);

    Arguments none({});
    VARIANT returned;
    VariantInit(&returned);
    ASSERT_EQ(CallByName(application.Get(), L"GetBuild", none, &returned), S_OK);
    ASSERT_EQ(V_VT(&returned), VT_UI4);
    EXPECT_EQ(V_UI4(&returned), 1200u);
    Arguments unknown({});
    EXPECT_EQ(CallByName(application.Get(), L"GetColour", unknown, nullptr), DISP_E_UNKNOWNNAME);
}

TEST_F(HostObjectsTest, DeviceStatesReachEveryExtenderByEitherBinding)
{
    const auto caller = std::make_shared<PluginCaller>();
    const ComPtr<HostTerminal> terminal =
        MakeHostObject<HostTerminal>(types_.TypeInfo(__uuidof(ITallivoxTerminal)), caller);
    const auto extenderInfo = types_.TypeInfo(__uuidof(ITallivoxTerminalExtender));
    const ComPtr<RecordingExtender> first = MakeHostObject<RecordingExtender>(extenderInfo, S_OK);
    const ComPtr<RecordingExtender> second = MakeHostObject<RecordingExtender>(extenderInfo, S_OK);
    ASSERT_EQ(terminal->AddExtender(first.Get()), S_OK);
    ASSERT_EQ(terminal->AddExtender(second.Get()), S_OK);
    EXPECT_EQ(terminal->AddExtender(nullptr), E_POINTER);

    // The plug-in's own report, late-bound into the terminal, vtable out to the extenders.
    Arguments report({Flag(true), Text("Dispenser")});
    ASSERT_EQ(CallByName(terminal.Get(), L"SetDeviceFailed", report, nullptr), S_OK);
    caller->SetBinding(Binding::LateBound);
    terminal->ReportDeviceState("Купюроприёмник", false);

    IUnknown* terminalObject = static_cast<ITallivoxTerminal*>(terminal.Get());
    for (const RecordingExtender* extender : {first.Get(), second.Get()}) {
        ASSERT_EQ(extender->calls.size(), 2u);
        EXPECT_EQ(extender->calls[0].device, "Dispenser");
        EXPECT_EQ(extender->calls[0].failed, 1);
        EXPECT_EQ(extender->calls[1].device, "Купюроприёмник");
        EXPECT_EQ(extender->calls[1].failed, 0);
        // The terminal passes itself, whichever way the extender is called.
        EXPECT_EQ(extender->calls[0].terminal, terminalObject);
        EXPECT_EQ(extender->calls[1].terminal, terminalObject);
    }
    EXPECT_FALSE(caller->AnyCallFailed());
    terminal->ReleaseExtenders();
}

TEST_F(HostObjectsTest, AFailingExtenderIsCountedButTheReportStands)
{
    for (const Binding binding : {Binding::Vtable, Binding::LateBound}) {
        const auto caller = std::make_shared<PluginCaller>();
        caller->SetBinding(binding);
        const ComPtr<HostTerminal> terminal =
            MakeHostObject<HostTerminal>(types_.TypeInfo(__uuidof(ITallivoxTerminal)), caller);
        const auto extenderInfo = types_.TypeInfo(__uuidof(ITallivoxTerminalExtender));
        const ComPtr<RecordingExtender> failing = MakeHostObject<RecordingExtender>(extenderInfo, E_FAIL);
        const ComPtr<RecordingExtender> working = MakeHostObject<RecordingExtender>(extenderInfo, S_OK);
        terminal->AddExtender(failing.Get());
        terminal->AddExtender(working.Get());

        EXPECT_EQ(terminal->SetDeviceFailed(MakeBstr("Dispenser").get(), VARIANT_TRUE), S_OK);
        EXPECT_TRUE(caller->AnyCallFailed());
        EXPECT_EQ(failing->calls.size(), 1u);
        EXPECT_EQ(working->calls.size(), 1u); // the failure of one does not skip the next
        terminal->ReleaseExtenders();
    }
}

} // namespace
