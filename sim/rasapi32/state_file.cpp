#include "state_file.h"

#include <windows.h>

#include <cstdlib>

namespace sim {

StateFile StateFile::Load(const std::wstring& path) {
  StateFile state;
  if (path.empty()) return state;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return state;
  std::string bytes;
  char buf[8192];
  DWORD got = 0;
  while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  CloseHandle(file);

  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos || eq == 0)
      state.lines_.emplace_back(std::string(), line);
    else
      state.lines_.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return state;
}

bool StateFile::Save(const std::wstring& path) const {
  if (path.empty()) return false;
  std::string bytes;
  for (const auto& [key, value] : lines_)
    bytes += key.empty() ? value + "\n" : key + "=" + value + "\n";
  std::wstring temp = path + L".tmp" + std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
            wrote == bytes.size();
  CloseHandle(file);
  if (ok) ok = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

std::string StateFile::Get(std::string_view key, std::string_view fallback) const {
  for (const auto& [k, v] : lines_)
    if (k == key) return v;
  return std::string(fallback);
}

long long StateFile::GetInt(std::string_view key, long long fallback) const {
  if (!Has(key)) return fallback;
  std::string v = Get(key);
  char* end = nullptr;
  long long n = strtoll(v.c_str(), &end, 0);
  return end == v.c_str() ? fallback : n;
}

std::vector<std::string> StateFile::GetAll(std::string_view key) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : lines_)
    if (k == key) out.push_back(v);
  return out;
}

bool StateFile::Has(std::string_view key) const {
  for (const auto& line : lines_)
    if (line.first == key) return true;
  return false;
}

void StateFile::Set(std::string_view key, std::string_view value) {
  for (auto& [k, v] : lines_)
    if (k == key) {
      v = value;
      return;
    }
  Append(key, value);
}

void StateFile::RemoveAll(std::string_view key) {
  std::erase_if(lines_, [&](const auto& line) { return line.first == key; });
}

bool StateFile::PopFirst(std::string_view key, std::string* value) {
  for (auto it = lines_.begin(); it != lines_.end(); ++it)
    if (it->first == key) {
      *value = it->second;
      lines_.erase(it);
      return true;
    }
  return false;
}

void StateFile::Append(std::string_view key, std::string_view value) {
  lines_.emplace_back(std::string(key), std::string(value));
}

std::vector<std::string> SplitTabs(std::string_view value) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    size_t tab = value.find('\t', pos);
    if (tab == std::string_view::npos) {
      out.emplace_back(value.substr(pos));
      return out;
    }
    out.emplace_back(value.substr(pos, tab - pos));
    pos = tab + 1;
  }
}

std::string JoinTabs(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) out += (i ? "\t" : "") + fields[i];
  return out;
}

}  // namespace sim
