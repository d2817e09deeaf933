#pragma once
// The entry point every harness defines (libFuzzer's, or the corpus replay driver's).

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
