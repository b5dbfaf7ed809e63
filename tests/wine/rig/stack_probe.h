// Calls a function with the given 4-byte arguments and measures how many bytes of arguments
// the callee removed from the stack: a standard-call function with n arguments removes 4n.
#pragma once

#include <cstdint>

extern "C" int __cdecl rig_CallAndMeasure(void* function, const std::uint32_t* arguments, int count,
                                          std::uint32_t* result);
