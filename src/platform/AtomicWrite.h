#pragma once
// Whole-file writes that replace a file atomically: the new contents go to "<path>.saving" in
// the same folder, are synced and renamed over the file, and the folder is synced. At every
// instant the file holds either its old or its new contents.

#include <cstddef>
#include <string>

namespace kessaro {

// False, leaving any existing file as it was, when a step fails.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace kessaro
