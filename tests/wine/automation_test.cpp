// The automation object base: reference counts, interface lookup, type information,
// the object-safety and error-information companions, and the translation of every
// kind of failure into an automation exception record.
#include "xdk/automation_object.h"

#include "Plugin/Plugin/com/class_factory.h"

#include "framework/exceptions.h"
#include "xdk/host_wrappers.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A plug-in object whose Init does what the test tells it.
class TestObject final : public TallivoxObject2<ITallivoxPlugin> {
public:
    TestObject(ITypeInfo* typeInfo, std::function<void()> body)
        : TallivoxObject2<ITallivoxPlugin>(typeInfo), body_(std::move(body))
    {
    }
    HRESULT STDMETHODCALLTYPE Init(IUnknown*) override { return Automation::ComMethod(body_); }

private:
    std::function<void()> body_;
};

struct InvokeResult {
    HRESULT result = S_OK;
    EXCEPINFO record{};
    ~InvokeResult()
    {
        SysFreeString(record.bstrSource);
        SysFreeString(record.bstrDescription);
    }
    std::wstring Source() const { return record.bstrSource != nullptr ? record.bstrSource : L""; }
    std::wstring Description() const { return record.bstrDescription != nullptr ? record.bstrDescription : L""; }
};

class AutomationTest : public ::testing::Test {
protected:
    AutomationTest() { CoInitialize(nullptr); }
    ~AutomationTest() override { CoUninitialize(); }

    // Calls Init late-bound, as a scripting host would.
    static void CallInit(IDispatch* object, InvokeResult& out)
    {
        LPOLESTR name = const_cast<LPOLESTR>(L"Init");
        DISPID id = 0;
        ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_UNKNOWN;
        argument.punkVal = nullptr;
        DISPPARAMS parameters{&argument, nullptr, 1, 0};
        UINT argumentError = 0;
        out.result = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, &out.record,
                                    &argumentError);
    }

    TestObject* Make(std::function<void()> body)
    {
        return new TestObject(Automation::GetTallivexTypeInfo(__uuidof(ITallivoxPlugin)).Get(), std::move(body));
    }
};

TEST_F(AutomationTest, ReferencesAndInterfaces)
{
    TestObject* object = Make([] {});
    EXPECT_EQ(object->References(), 1u); // born with the creator's reference
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, &out), S_OK);
    EXPECT_EQ(object->References(), 2u);
    static_cast<IDispatch*>(out)->Release();
    ASSERT_EQ(object->QueryInterface(__uuidof(ITallivoxPlugin), &out), S_OK);
    static_cast<IUnknown*>(out)->Release();
    EXPECT_EQ(object->Release(), 0u);
}

TEST_F(AutomationTest, TypeInformation)
{
    TestObject* object = Make([] {});
    EXPECT_EQ(object->GetTypeInfoCount(nullptr), E_INVALIDARG);
    UINT count = 0;
    EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(object->GetTypeInfo(7, 0x409, nullptr), E_INVALIDARG);
    ASSERT_EQ(object->GetTypeInfo(7, 0x409, &info), S_OK); // any index and locale
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, __uuidof(ITallivoxPlugin)));
    info->ReleaseTypeAttr(attributes);
    info->Release();
    object->Release();
}

TEST_F(AutomationTest, ObjectSafetyCompanionCountsOnItsOwner)
{
    TestObject* object = Make([] {});
    IObjectSafety* safety = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
    EXPECT_EQ(object->References(), 2u);
    DWORD supported = 0;
    DWORD enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 3u); // safe for untrusted callers and data
    ISupportErrorInfo* errors = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errors)), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(ITallivoxPlugin)), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
    errors->Release();
    safety->Release();
    EXPECT_EQ(object->References(), 1u);
    object->Release();
}

TEST_F(AutomationTest, FailuresBecomeExceptionRecords)
{
    struct Case {
        std::function<void()> body;
        unsigned short code;
        std::wstring source;
        std::wstring description;
    };
    const Case cases[] = {
        {[] { throw OrvaneException("x"); }, 59999, L"Orvane Tallivox", L"x"},
        {[] { throw OVAppException("Неверный формат числа: Dispenser.Dispense1=abc"); }, 59999, L"Orvane Tallivox",
         L"Неверный формат числа: Dispenser.Dispense1=abc"},
        {[] { throw CoError(static_cast<std::int32_t>(0x80004002u), "host.cpp", 3); }, 0x4002, L"Orvane Tallivox",
         L"COM call error 80004002 at \"host.cpp\":3"},
        {[] { throw OleAutoException(17, "Хост", "описание"); }, 17, L"Хост", L"описание"},
        {[] { throw OleAutoException(18, "", ""); }, 18, L"Orvane Tallivox", L"Automation error 18"},
        {[] { throw 42; }, 59999, L"Orvane Tallivox", L"Необработанная ошибка неизвестного типа"},
    };
    for (const Case& c : cases) {
        TestObject* object = Make(c.body);
        InvokeResult call;
        CallInit(object, call);
        EXPECT_EQ(static_cast<unsigned long>(call.result), 0x80020009ul);
        EXPECT_EQ(call.record.wCode, c.code);
        EXPECT_EQ(static_cast<unsigned long>(call.record.scode), 0x80020009ul);
        EXPECT_EQ(call.Source(), c.source);
        EXPECT_EQ(call.Description(), c.description);
        object->Release();
    }
}

TEST_F(AutomationTest, ErrorInformationLeftByAMethodThatReturnsNormally)
{
    TestObject* object = Make([] {
        ICreateErrorInfo* create = nullptr;
        CreateErrorInfo(&create);
        create->SetDescription(const_cast<LPOLESTR>(L"оставлено методом"));
        create->SetHelpContext(321);
        IErrorInfo* error = nullptr;
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error));
        SetErrorInfo(0, error);
        error->Release();
        create->Release();
    });
    InvokeResult call;
    CallInit(object, call);
    EXPECT_EQ(static_cast<unsigned long>(call.result), 0x80020009ul);
    EXPECT_EQ(call.record.wCode, 321);
    EXPECT_EQ(call.Description(), L"оставлено методом");
    EXPECT_EQ(call.Source(), L"Orvane Tallivox");

    TestObject* quiet = Make([] {});
    InvokeResult ok;
    CallInit(quiet, ok);
    EXPECT_EQ(ok.result, S_OK);
    quiet->Release();
    object->Release();
}

TEST_F(AutomationTest, DirectCallsGetAResultAndErrorInformation)
{
    TestObject* object = Make([] { throw OVAppException("нет связи"); });
    EXPECT_EQ(static_cast<unsigned long>(object->Init(nullptr)), 0x80020009ul);
    IErrorInfo* error = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
    BSTR description = nullptr;
    error->GetDescription(&description);
    EXPECT_EQ(std::wstring(description), L"нет связи");
    SysFreeString(description);
    error->Release();
    Automation::ClearPendingFailure();
    object->Release();
}

// A host terminal that, like a real host, reports a device state to the plug-in's
// extender by a direct call and carries on when that call fails.
class SwallowingTerminal final : public TallivoxObject2<ITallivoxTerminal> {
public:
    explicit SwallowingTerminal(ITypeInfo* typeInfo) : TallivoxObject2<ITallivoxTerminal>(typeInfo) {}
    HRESULT STDMETHODCALLTYPE SetDeviceFailed(BSTR, VARIANT_BOOL) override
    {
        nested = Automation::ComMethod([] { throw OVAppException("расширение не ответило"); });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddExtender(ITallivoxTerminalExtender*) override { return S_OK; }
    HRESULT nested = S_OK;
};

// A method that completed (notes paid, say) stays a success even when a nested call of
// the host's into the plug-in failed and the host handled that failure itself.
TEST_F(AutomationTest, AFailureTheHostHandledDoesNotFailTheCallingMethod)
{
    auto* terminal = new SwallowingTerminal(Automation::GetTallivexTypeInfo(__uuidof(ITallivoxTerminal)).Get());
    TestObject* object = Make([terminal] {
        TVXDK::Tallivox::TVTerminal(TVXDK::Tallivox::ComPtr<ITallivoxTerminal>(terminal, true)).SetDeviceFailed("Dispenser",
                                                                                                         true);
    });
    InvokeResult call;
    CallInit(object, call);
    EXPECT_EQ(static_cast<unsigned long>(terminal->nested), 0x80020009ul);
    EXPECT_EQ(call.result, S_OK);
    EXPECT_EQ(call.record.bstrDescription, nullptr);
    object->Release();
    terminal->Release();
}

// Only the source, description and codes are filled; the caller's other fields stay.
TEST_F(AutomationTest, AFailureLeavesTheCallersOtherRecordFields)
{
    TestObject* object = Make([] { throw OVAppException("нет связи"); });
    InvokeResult call;
    call.record.dwHelpContext = 7;
    call.record.wReserved = 5;
    CallInit(object, call);
    EXPECT_EQ(static_cast<unsigned long>(call.result), 0x80020009ul);
    EXPECT_EQ(call.Description(), L"нет связи");
    EXPECT_EQ(call.record.dwHelpContext, 7u);
    EXPECT_EQ(call.record.wReserved, 5);
    EXPECT_EQ(call.record.bstrHelpFile, nullptr);
    object->Release();
}

// A method that fails with a bare result, leaving no error information.
class BareFailure final : public TallivoxObject2<ITallivoxPlugin> {
public:
    explicit BareFailure(ITypeInfo* typeInfo) : TallivoxObject2<ITallivoxPlugin>(typeInfo) {}
    HRESULT STDMETHODCALLTYPE Init(IUnknown*) override { return E_ACCESSDENIED; }
};

TEST_F(AutomationTest, ABareFailingResultStillFillsTheRecord)
{
    auto* object = new BareFailure(Automation::GetTallivexTypeInfo(__uuidof(ITallivoxPlugin)).Get());
    InvokeResult call;
    CallInit(object, call);
    EXPECT_EQ(static_cast<unsigned long>(call.result), 0x80020009ul);
    EXPECT_EQ(static_cast<unsigned long>(call.record.scode), 0x80020009ul);
    EXPECT_EQ(call.record.wCode, 0x0005); // the low 16 bits of E_ACCESSDENIED
    EXPECT_EQ(call.Source(), L"Orvane Tallivox");
    object->Release();
}

// An object whose construction fails as the test says.
struct FailingConstruction {
    static inline std::function<void()> fail;
};
class FailingObject final : public TallivoxObject2<ITallivoxPlugin> {
public:
    explicit FailingObject(ITypeInfo* typeInfo) : TallivoxObject2<ITallivoxPlugin>(typeInfo)
    {
        FailingConstruction::fail();
    }
    HRESULT STDMETHODCALLTYPE Init(IUnknown*) override { return S_OK; }
};

// The class factory hands the caller the failure's own result, never DISP_E_EXCEPTION.
TEST_F(AutomationTest, AFactoryThatCannotMakeItsObjectSaysWhy)
{
    Plugin::ClassFactory<FailingObject, ITallivoxPlugin>* factory =
        new Plugin::ClassFactory<FailingObject, ITallivoxPlugin>();
    const std::pair<std::function<void()>, HRESULT> cases[] = {
        {[] { throw CoError(E_ACCESSDENIED); }, E_ACCESSDENIED},
        {[] { throw WindowsError(ERROR_NOT_ENOUGH_MEMORY, __FILE__, __LINE__); },
         HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {[] { throw OVAppException("нет"); }, E_FAIL},
        {[] { throw 7; }, E_FAIL},
    };
    for (const auto& [fail, expected] : cases) {
        FailingConstruction::fail = fail;
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &out), expected);
        EXPECT_EQ(out, nullptr);
    }
    FailingConstruction::fail = [] {};
    void* out = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &out), S_OK);
    static_cast<IUnknown*>(out)->Release();
    factory->Release();
}

} // namespace
