#include <windows.h>

#include <string>

#include "ground/utf8.h"
#include "record/record_platform.h"

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

namespace {

// Takes every byte of bytes, going on after a short write; the number written.
DWORD WriteAll(HANDLE file, std::string_view bytes, DWORD& error) {
  DWORD done = 0;
  error = ERROR_SUCCESS;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr)) {
      error = GetLastError();
      break;
    }
    if (written == 0) {
      error = ERROR_WRITE_FAULT;
      break;
    }
    done += written;
  }
  return done;
}

// Cuts the file back to size through a handle of its own (the appending handle may not set
// the end of the file).
bool TakeBack(const std::wstring& path, LONGLONG size, DWORD& error) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  const bool cut = SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
  if (!cut) error = GetLastError();
  CloseHandle(file);
  return cut;
}

}  // namespace

std::optional<std::string> AppendWholeLine(const std::string& path, std::string_view line) {
  // With FILE_APPEND_DATA and no FILE_WRITE_DATA, every write goes to the end of the file as
  // one piece, for every handle that shares the file. Reading is asked for as well, to see
  // how the file ends; a file that may not be read is appended to all the same.
  const std::wstring wide = WideFromUtf8(path);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  bool readable = true;
  HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE, share,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    readable = false;
    file = CreateFileW(wide.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, share, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return "cannot open " + path + ": " + ErrorText(GetLastError());
  const bool regular = GetFileType(file) == FILE_TYPE_DISK;

  // In a disk file a line is whole or not there at all. The writers of this program take
  // turns (a lock on a byte far past any end), so that a line that did not fit is still the
  // last thing in the file when it is taken back; and one that follows a line cut short
  // starts on a line of its own.
  OVERLAPPED turn{};
  turn.Offset = 0xFFFFFFFE;
  turn.OffsetHigh = 0x7FFFFFFF;
  const bool locked = regular && LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn) != 0;
  LARGE_INTEGER before{};
  std::string separated;
  std::string_view bytes = line;
  if (regular && GetFileSizeEx(file, &before) && before.QuadPart > 0 && readable) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((before.QuadPart - 1) & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>((before.QuadPart - 1) >> 32);
    char last = '\n';
    DWORD read = 0;
    if (ReadFile(file, &last, 1, &read, &at) && read == 1 && last != '\n') {
      separated = "\n";
      separated += line;
      bytes = separated;
    }
  }

  std::optional<std::string> error;
  DWORD failure = ERROR_SUCCESS;
  const DWORD written = WriteAll(file, bytes, failure);
  if (written < bytes.size()) {
    const std::string reason = ErrorText(failure);
    const std::string counts =
        std::to_string(written) + " of " + std::to_string(bytes.size()) + " bytes";
    DWORD cutError = ERROR_SUCCESS;
    if (written == 0) {
      error = "cannot write " + path + ": " + reason;
    } else if (!regular) {
      error = "only " + counts + " written to " + path + ": " + reason;
    } else if (!TakeBack(wide, before.QuadPart, cutError)) {
      error = "cannot write " + path + ": " + reason + " after " + counts +
              ", which could not be taken back: " + ErrorText(cutError);
    } else {
      error =
          "cannot write " + path + ": " + reason + " after " + counts + ", which were taken back";
    }
  } else if (!FlushFileBuffers(file)) {
    error = "cannot flush " + path + " to disk: " + ErrorText(GetLastError());
    DWORD cutError = ERROR_SUCCESS;
    if (regular && TakeBack(wide, before.QuadPart, cutError)) {
      *error += "; the line was taken back";
    }
  }
  if (locked) UnlockFileEx(file, 0, 1, 0, &turn);
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
