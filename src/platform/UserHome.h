#pragma once
// Where the program writes: $KESSARO_HOME when set, else $XDG_DATA_HOME/Kessaro
// (default ~/.local/share/Kessaro). Read-only resources live next to the executable.

#include <string>

namespace kessaro {

std::string UserHomeDir();
// A path inside the user home ("GameLoad.log", "User Game Base/Data.pos", ...).
std::string UserHomePath(const std::string& relative);
// The folder of the running executable's resources ("share" next to it, else its folder).
std::string ProgramDir();

}  // namespace kessaro
