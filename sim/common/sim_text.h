// Text helpers shared by the simulated network's Win32 programs: code-page
// conversions, JSON output and small parsing routines. Header-only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace sim {

constexpr UINT kGbk = 936;

inline std::wstring ToWide(std::string_view text, UINT code_page) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

inline std::string FromWide(std::wstring_view text, UINT code_page) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

inline std::string GbkToUtf8(std::string_view gbk) {
  return FromWide(ToWide(gbk, kGbk), CP_UTF8);
}
inline std::string Utf8ToGbk(std::string_view utf8) {
  return FromWide(ToWide(utf8, CP_UTF8), kGbk);
}

// True when the bytes are valid GBK, i.e. converting them loses nothing.
inline bool IsCleanGbk(std::string_view gbk) {
  if (gbk.empty()) return true;
  return MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                             nullptr, 0) > 0;
}

inline std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// A fixed char field up to its first NUL, or all of it when it has none.
inline std::string FieldText(const char* field, size_t size) {
  size_t n = 0;
  while (n < size && field[n] != '\0') ++n;
  return std::string(field, n);
}

// Copies text into a fixed char field, cut so that a double-byte character is
// never split and a NUL always fits.
inline void SetField(char* field, size_t size, std::string_view gbk) {
  size_t n = 0;
  while (n < gbk.size()) {
    size_t step = (static_cast<unsigned char>(gbk[n]) >= 0x80) ? 2 : 1;
    if (n + step > size - 1 || n + step > gbk.size()) break;
    n += step;
  }
  memcpy(field, gbk.data(), n);
  field[n] = '\0';
}

inline std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// A JSON string of GBK bytes; a "<name>_hex" member follows when the bytes
// are not clean GBK, so a caller can still see exactly what was there.
inline std::string JsonGbkMember(std::string_view name, std::string_view gbk) {
  std::string out = JsonString(name) + ":" + JsonString(GbkToUtf8(gbk));
  if (!IsCleanGbk(gbk))
    out += "," + JsonString(std::string(name) + "_hex") + ":" + JsonString(Hex(gbk));
  return out;
}

// Builds one JSON object member by member.
class JsonObject {
 public:
  JsonObject& Raw(std::string_view name, std::string_view json) {
    Sep();
    text_ += JsonString(name) + ":" + std::string(json);
    return *this;
  }
  JsonObject& Str(std::string_view name, std::string_view utf8) {
    return Raw(name, JsonString(utf8));
  }
  JsonObject& Gbk(std::string_view name, std::string_view gbk) {
    Sep();
    text_ += JsonGbkMember(name, gbk);
    return *this;
  }
  JsonObject& Int(std::string_view name, long long value) {
    return Raw(name, std::to_string(value));
  }
  JsonObject& Bool(std::string_view name, bool value) {
    return Raw(name, value ? "true" : "false");
  }
  JsonObject& Null(std::string_view name) { return Raw(name, "null"); }
  std::string Done() const { return "{" + text_ + "}"; }

 private:
  void Sep() {
    if (!text_.empty()) text_ += ",";
  }
  std::string text_;
};

// Milliseconds since 1970, the clock the Python side also reads.
inline std::int64_t UnixMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  std::uint64_t t = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<std::int64_t>(t / 10000 - 11644473600000ULL);
}

// An environment variable naming a file: a Linux path (starting with "/")
// becomes the same file on Wine's Z: drive.
inline std::wstring PathFromEnvironment(const wchar_t* name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(name, buf, 4096);
  if (n == 0 || n >= 4096) return {};
  std::wstring path(buf, n);
  if (path[0] == L'/') {
    for (auto& c : path)
      if (c == L'/') c = L'\\';
    path = L"Z:" + path;
  }
  return path;
}

}  // namespace sim
