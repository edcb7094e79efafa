// The main window's form: every control with its place, size and first state.
#pragma once

#include <string_view>

#include "platform/form.h"

namespace pelnor {

// The maker's web host, shown in the caption and the tray tip.
constexpr std::string_view kMakerHost = "www.vantrel.net";

const FormSpec& MainForm();

}  // namespace pelnor
