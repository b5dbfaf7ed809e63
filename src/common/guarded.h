// Nothing may leave the plug-in as an exception: the host is plain C and the toolchain's
// unwinder cannot cross its frames. Every export and window procedure runs its body here.
#pragma once

namespace cvt {

template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace cvt
