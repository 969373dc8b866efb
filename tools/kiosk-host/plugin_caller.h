// How the host calls the methods of the plug-in's objects: straight through the
// interface's vtable, or late-bound through IDispatch::GetIDsOfNames and Invoke as a
// scripting host would. Every failed call is reported on standard error and counted.
// Used on the host's thread only.
#pragma once

#include "windows_api.h"

#include <unknwn.h>

#include <functional>
#include <string>
#include <variant>
#include <vector>

enum class Binding {
    Vtable,    // the interface's own slots; failures described by IErrorInfo
    LateBound, // IDispatch by name; failures described by the exception record
};

// An argument of a late-bound call: an object (VT_UNKNOWN), a text (VT_BSTR) or a
// 32-bit integer (VT_I4).
using CallArgument = std::variant<IUnknown*, std::string, LONG>;

// One call of a plug-in method, described both ways.
struct MethodCall {
    IUnknown* object = nullptr;          // the plug-in's object (borrowed for the call)
    std::wstring method;                 // the method's name in the type library
    std::vector<CallArgument> arguments; // in the order the method declares them
    std::function<HRESULT()> direct;     // the same call through the vtable
    std::string label;                   // how failure reports name the call
    // The method's [out, retval] LONG, when it has one: `direct` writes it there, and
    // a late-bound call stores the returned VARIANT there as a 32-bit integer.
    LONG* result = nullptr;
};

class PluginCaller {
public:
    Binding CurrentBinding() const { return binding_; }
    void SetBinding(Binding binding) { binding_ = binding; }

    // Makes the call with the current binding; true on success. A failure is
    // reported (HRESULT and the plug-in's description of it) and remembered.
    bool Call(const MethodCall& call);

    // Remembers a failure that happened outside Call (loading or creating the plug-in).
    void NoteFailure() { failed_ = true; }
    bool AnyCallFailed() const { return failed_; }

private:
    HRESULT CallDirect(const MethodCall& call, std::vector<std::string>& details) const;
    HRESULT CallLateBound(const MethodCall& call, std::vector<std::string>& details) const;

    Binding binding_ = Binding::Vtable;
    bool failed_ = false;
};
