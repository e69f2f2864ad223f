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

namespace {

// A temporary file older than this that can be deleted was left by a save that died: a live
// save holds its file open without sharing, and moves it over the target within moments of
// closing it.
constexpr ULONGLONG kStaleAfter100ns = 60ULL * 10'000'000ULL;

// The file a symbolic link (or another reparse point) at target ends at; target itself when
// it is none, or when the link leads nowhere yet.
std::wstring FollowLinks(const std::wstring& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return target;
  }
  const HANDLE file =
      CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return target;
  std::wstring end(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, end.data(), static_cast<DWORD>(end.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n >= end.size()) {
    end.resize(n + 1);
    n = GetFinalPathNameByHandleW(file, end.data(), static_cast<DWORD>(end.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  CloseHandle(file);
  if (n == 0 || n >= end.size()) return target;
  end.resize(n);
  return end;
}

// "<name>.<process>-<count>-<clock>.tmp", as made below.
bool IsTemporaryOf(std::wstring_view entry, std::wstring_view name) {
  constexpr std::wstring_view kEnd = L".tmp";
  if (entry.size() <= name.size() + 1 + kEnd.size() || entry.substr(0, name.size()) != name ||
      entry[name.size()] != L'.' || entry.substr(entry.size() - kEnd.size()) != kEnd) {
    return false;
  }
  const std::wstring_view unique =
      entry.substr(name.size() + 1, entry.size() - name.size() - 1 - kEnd.size());
  int dashes = 0;
  for (const wchar_t c : unique) {
    if (c == L'-') {
      ++dashes;
    } else if (c < L'0' || c > L'9') {
      return false;
    }
  }
  return dashes == 2;
}

void RemoveStaleTemporaries(const std::wstring& target) {
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((target + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME nowTime{};
  GetSystemTimeAsFileTime(&nowTime);
  const ULONGLONG now = (ULONGLONG{nowTime.dwHighDateTime} << 32) | nowTime.dwLowDateTime;
  do {
    const ULONGLONG written = (ULONGLONG{found.ftLastWriteTime.dwHighDateTime} << 32) |
                              found.ftLastWriteTime.dwLowDateTime;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        IsTemporaryOf(found.cFileName, name) && now > written && now - written > kStaleAfter100ns) {
      DeleteFileW((folder + found.cFileName).c_str());  // fails while a save holds it open
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

struct ReplacementFile::Native {
  std::wstring target;  // the file itself, past any symbolic link
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  bool targetRefused = false;
  std::string error;

  void Failed() { error = LastErrorText(); }
};

ReplacementFile::ReplacementFile(const std::string& target) : native_(new Native) {
  Native& n = *native_;
  n.target = FollowLinks(WideFromUtf8(target));
  // A file its owner made read-only stays as it is (MoveFileExW would refuse it later
  // anyway, after the work).
  const DWORD attributes = GetFileAttributesW(n.target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    n.error = "the file is read-only";
    n.targetRefused = true;
    return;
  }
  RemoveStaleTemporaries(n.target);
  // A name no other writer uses: the process, a count within it, and the clock.
  static std::atomic<unsigned> count{0};
  for (int attempt = 0; attempt < 100 && n.file == INVALID_HANDLE_VALUE; ++attempt) {
    const std::wstring temp = n.target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(count++) + L"-" +
                              std::to_wstring(GetTickCount64() & 0xFFFF) + L".tmp";
    n.file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (n.file != INVALID_HANDLE_VALUE) n.temp = temp;
    if (n.file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (n.file == INVALID_HANDLE_VALUE) n.Failed();
}

ReplacementFile::~ReplacementFile() {
  if (native_->file == INVALID_HANDLE_VALUE) return;
  const DWORD saved = GetLastError();  // keep the cause of a failure for LastErrorText
  CloseHandle(native_->file);
  DeleteFileW(native_->temp.c_str());
  SetLastError(saved);
}

bool ReplacementFile::IsOpen() const { return native_->file != INVALID_HANDLE_VALUE; }

bool ReplacementFile::TargetRefused() const { return native_->targetRefused; }

const std::string& ReplacementFile::Error() const { return native_->error; }

bool ReplacementFile::Write(std::string_view bytes) {
  if (native_->file == INVALID_HANDLE_VALUE) return false;
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(native_->file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      native_->Failed();
      return false;
    }
    done += written;
  }
  return true;
}

bool ReplacementFile::Commit() {
  Native& n = *native_;
  if (n.file == INVALID_HANDLE_VALUE) return false;
  bool ok = FlushFileBuffers(n.file) != 0;
  ok = CloseHandle(n.file) != 0 && ok;
  n.file = INVALID_HANDLE_VALUE;
  // rename() cannot replace an existing file on Windows; MoveFileExW can, in one step.
  // WRITE_THROUGH returns only once the move is on the disk, the folder's entry included:
  // Windows has no call that syncs a folder, and needs none after it.
  ok = ok && MoveFileExW(n.temp.c_str(), n.target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    n.Failed();
    const DWORD saved = GetLastError();
    DeleteFileW(n.temp.c_str());
    SetLastError(saved);
  }
  return ok;
}

}  // namespace kv218
