#include <windows.h>

#include <string>

#include "ground/record_platform.h"
#include "ground/utf8.h"

namespace kv218 {
namespace {

std::string ErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 ? std::string(text, n) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

}  // namespace

std::optional<std::string> AppendWholeLine(const std::string& path, std::string_view line) {
  // With FILE_APPEND_DATA alone, every write goes to the end of the file as one piece, for
  // every handle that shares the file.
  const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "cannot open " + path + ": " + ErrorText(GetLastError());
  std::optional<std::string> error;
  DWORD written = 0;
  if (!WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    error = "cannot write " + path + ": " + ErrorText(GetLastError());
  } else if (written != line.size()) {
    error = "only " + std::to_string(written) + " of " + std::to_string(line.size()) +
            " bytes written to " + path;
  } else if (!FlushFileBuffers(file)) {
    error = "cannot flush " + path + " to disk: " + ErrorText(GetLastError());
  }
  CloseHandle(file);
  return error;
}

std::string HostName() {
  char name[256];
  DWORD size = sizeof name;
  if (!GetComputerNameExA(ComputerNameDnsHostname, name, &size)) return {};
  return std::string(name, size);
}

LocalTime LocalTimeOf(std::time_t when) {
  LocalTime local;
  localtime_s(&local.fields, &when);
  // The local fields read as if they were UTC, less the instant itself: the zone's offset.
  std::tm asUtc = local.fields;
  local.utcOffsetSeconds = static_cast<long>(_mkgmtime(&asUtc) - when);
  return local;
}

}  // namespace kv218
