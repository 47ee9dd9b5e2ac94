// Every function this host hands to a plug-in is called from the plug-in's C
// frames, which an exception must never cross: it would skip the plug-in's
// clean-up or end the process. Guarded<F> is F behind a wall that answers an
// error instead, the way a C host reports a failure it could not avoid.
#ifndef TARSIVEL_HOST_PROTOCOL_CALLBACK_GUARD_H
#define TARSIVEL_HOST_PROTOCOL_CALLBACK_GUARD_H

#include <new>
#include <type_traits>

#include "hostapi/pf_types.h"

namespace tarsivel::host {
namespace detail {

// What a callback answers when its work throws: out of memory for a failed
// allocation, a damaged structure for anything else. Pointer results are null,
// and a callback without a result simply returns.
template <class Result>
Result FailedCallback(bool outOfMemory) noexcept {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_pointer_v<Result>) {
        static_cast<void>(outOfMemory);
        return nullptr;
    } else {
        static_assert(std::is_same_v<Result, PF_Err>,
                      "callbacks answer PF_Err, a pointer or nothing");
        return outOfMemory ? PF_Err_OUT_OF_MEMORY : PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

template <class Signature, Signature Function>
struct CallbackGuard;

template <class Result, class... Args, Result (*Function)(Args...)>
struct CallbackGuard<Result (*)(Args...), Function> {
    static Result Call(Args... args) noexcept {
        try {
            return Function(args...);
        } catch (const std::bad_alloc&) {
            return FailedCallback<Result>(true);
        } catch (...) {
            return FailedCallback<Result>(false);
        }
    }
};

}  // namespace detail

// The guarded form of a host callback, with the same signature.
template <auto Function>
inline constexpr auto Guarded = &detail::CallbackGuard<decltype(Function), Function>::Call;

}  // namespace tarsivel::host

#endif
