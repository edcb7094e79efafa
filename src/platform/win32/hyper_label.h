// A one-line label with links: "<a href=\"target\">text</a>" in its window
// text. Links are blue, underlined under the mouse, and open in the browser.
#pragma once

#include <windows.h>

namespace pelnor {

constexpr char kHyperLabelClass[] = "PelnorHyperLabel";

void RegisterHyperLabelClass(HINSTANCE instance);

}  // namespace pelnor
