// The program's icon as a whole .ico file: the image the tray shows and the
// program file carries.
#pragma once

#include <string_view>

namespace pelnor {

std::string_view AppIconBytes();

}  // namespace pelnor
