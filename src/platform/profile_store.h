// Private-profile (INI) files and the program's own path.
#pragma once

#include <cstdint>
#include <string>

namespace pelnor {

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // GetPrivateProfileStringA with an empty default into `room` bytes: at most
  // room - 1 bytes of the value.
  virtual std::string Read(const std::string& path, const std::string& section,
                           const std::string& key, std::uint32_t room) = 0;
  // WritePrivateProfileStringA of one key; false when the file cannot be written.
  virtual bool Write(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) = 0;
  // GetModuleFileNameA of the program.
  virtual std::string ModuleFileName() = 0;
};

}  // namespace pelnor
