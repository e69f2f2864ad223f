#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "ground/platform.h"
#include "ground/utf8.h"

namespace kv218 {

namespace {

// A Windows text written by one of the Get...FormatEx calls (size in characters, NUL included).
template <typename Format>
std::wstring Formatted(Format format) {
  const int n = format(nullptr, 0);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n), L'\0');
  const int written = format(text.data(), n);
  text.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
  return text;
}

}  // namespace

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  localtime_s(&local, &when);
  return local;
}

std::string LocalTimeStampText(std::time_t when) {
  const std::tm local = LocalTime(when);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(local.tm_year + 1900);
  time.wMonth = static_cast<WORD>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time.wDay = static_cast<WORD>(local.tm_mday);
  time.wHour = static_cast<WORD>(local.tm_hour);
  time.wMinute = static_cast<WORD>(local.tm_min);
  time.wSecond = static_cast<WORD>(local.tm_sec);
  const std::wstring date = Formatted([&](wchar_t* text, int size) {
    return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, size,
                           nullptr);
  });
  if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0) return Utf8FromWide(date);
  const std::wstring clock = Formatted([&](wchar_t* text, int size) {
    return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, size);
  });
  return Utf8FromWide(date) + " " + Utf8FromWide(clock);
}

std::string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return {};
    if (n < size) return Utf8FromWide(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);  // cut short: try a longer buffer
  }
}

bool FolderTakesNewFiles(const std::string& folder) {
  const std::string probe = folder + "\\.kv218tool-probe-" + std::to_string(GetCurrentProcessId());
  const HANDLE file = CreateFileW(
      WideFromUtf8(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);  // deletes it
  return true;
}

std::string UserConfigurationHome() {
  const wchar_t* value = _wgetenv(L"APPDATA");
  return value != nullptr ? Utf8FromWide(value) : std::string();
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", n);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' ')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : Utf8FromWide(message);
}

struct ReplacementFile::Native {
  std::wstring target;
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
};

ReplacementFile::ReplacementFile(const std::string& target)
    : native_(new Native{WideFromUtf8(target), {}, INVALID_HANDLE_VALUE}) {
  // A name no other writer uses: the process, a count within it, and the clock.
  static std::atomic<unsigned> count{0};
  for (int attempt = 0; attempt < 100 && native_->file == INVALID_HANDLE_VALUE; ++attempt) {
    const std::wstring temp = native_->target + L"." + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(count++) + L"-" +
                              std::to_wstring(GetTickCount64() & 0xFFFF) + L".tmp";
    native_->file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (native_->file != INVALID_HANDLE_VALUE) native_->temp = temp;
    if (native_->file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
}

ReplacementFile::~ReplacementFile() {
  if (native_->file == INVALID_HANDLE_VALUE) return;
  const DWORD saved = GetLastError();  // keep the cause of a failure for LastErrorText
  CloseHandle(native_->file);
  DeleteFileW(native_->temp.c_str());
  SetLastError(saved);
}

bool ReplacementFile::IsOpen() const { return native_->file != INVALID_HANDLE_VALUE; }

bool ReplacementFile::Write(std::string_view bytes) {
  if (native_->file == INVALID_HANDLE_VALUE) return false;
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(native_->file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

bool ReplacementFile::Commit() {
  if (native_->file == INVALID_HANDLE_VALUE) return false;
  bool ok = FlushFileBuffers(native_->file) != 0;
  ok = CloseHandle(native_->file) != 0 && ok;
  native_->file = INVALID_HANDLE_VALUE;
  // rename() cannot replace an existing file on Windows; MoveFileExW can, in one step.
  ok = ok && MoveFileExW(native_->temp.c_str(), native_->target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    const DWORD saved = GetLastError();
    DeleteFileW(native_->temp.c_str());
    SetLastError(saved);
  }
  return ok;
}

}  // namespace kv218
