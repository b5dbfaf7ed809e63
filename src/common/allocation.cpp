// The plug-in allocates only with the non-throwing new, and these forms of new and delete
// replace the C++ runtime's. The runtime's non-throwing new calls its throwing one and catches
// the refusal, which would link the runtime's unwinder into the library; and where another
// module of the host's process brought the shared unwinder of the same toolchain first, that
// throw ends the process even though it is caught at once. malloc and free cannot throw.
#include <cstdlib>
#include <new>

namespace {

// malloc(0) may give null, which new must not for a request that can be met.
void* Allocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
