#pragma once
#include <functional>
#include <type_traits>
#include <utility>

// A call a lower module makes into one above it (the renderer asking input for a key, the menus
// asking for the mouse). Every hook is filled by `App::ConnectModules` in the program, or by the
// test or tool that uses the module. Calling one that was never filled is a wiring fault: it is
// logged as "Hook <name> called but never set", stops a debug build, and otherwise gives the
// result type's zero value.
template <class Signature> class Hook;

// The log line and, in debug builds, the assert of an unset hook.
void HookNotSet(const char* name);

template <class R, class... Args> class Hook<R(Args...)> {
  public:
    explicit Hook(const char* name) : name_(name) {}
    Hook(const Hook&) = default;
    // The name stays with the slot; only the function is taken over.
    // cppcheck-suppress operatorEqVarError
    Hook& operator=(const Hook& other) {
        function_ = other.function_;
        return *this;
    }
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Hook> &&
                                                std::is_constructible_v<std::function<R(Args...)>, F>>>
    Hook& operator=(F&& function) {
        function_ = std::function<R(Args...)>(std::forward<F>(function));
        return *this;
    }
    bool IsSet() const { return static_cast<bool>(function_); }
    const char* Name() const { return name_; }

    R operator()(Args... args) const {
        if (!function_) {
            HookNotSet(name_);
            if constexpr (!std::is_void_v<R>)
                return R{};
            else
                return;
        }
        return function_(std::forward<Args>(args)...);
    }

  private:
    const char* name_;
    std::function<R(Args...)> function_;
};
