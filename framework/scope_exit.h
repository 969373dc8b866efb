// Runs an action when a scope ends, by any way out. An exception from the action passes
// on when the scope ends normally; while another exception leaves the scope, the
// action's own exception is dropped so that the first one reaches its handler.
#pragma once

#include <exception>
#include <utility>

template <typename Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) : action_(std::move(action)), exceptions_(std::uncaught_exceptions()) {}
    ~ScopeExit() noexcept(false)
    {
        if (std::uncaught_exceptions() == exceptions_) {
            action_();
            return;
        }
        try {
            action_();
        } catch (...) {
        }
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action action_;
    int exceptions_;
};
