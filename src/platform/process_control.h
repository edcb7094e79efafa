// Ending the process.
#pragma once

#include <cstdint>

namespace pelnor {

class ProcessControl {
 public:
  virtual ~ProcessControl() = default;
  // ExitProcess: on Windows it never returns.
  virtual void ExitProcess(std::uint32_t exit_code) = 0;
};

}  // namespace pelnor
