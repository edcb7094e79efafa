// One ordered record of what several fakes saw, so a test can check the order
// in which an action reached the user and the outside world.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelnor {

using Journal = std::vector<std::string>;

inline void Note(Journal* journal, std::string_view line) {
  if (journal) journal->emplace_back(line);
}

}  // namespace pelnor
