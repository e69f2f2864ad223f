#pragma once
// What differs between the platforms the core runs on, behind one interface: one file per
// platform (platform_posix.cpp, platform_win32.cpp), picked by the build. Paths are UTF-8
// text on every platform; the Windows side converts them for the wide-character calls, so a
// folder with a non-ASCII name works.

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace kv218 {

// The date and time of when as the user's locale writes them: the short date, one blank, the
// long time; the date alone at exactly midnight. On Linux the locale is LC_TIME as the
// program set it up at start, on Windows the user's regional settings.
std::string LocalTimeStampText(std::time_t when);
// The local calendar time of when.
std::tm LocalTime(std::time_t when);

// The full path of the running executable; empty when the system does not tell.
std::string ExecutablePath();

// Whether a new file can be made in folder: a probe file, made and removed at once. Unlike the
// permission bits it also tells a read-only mount and what an administrator's rules allow.
bool FolderTakesNewFiles(const std::string& folder);

// The user's folder for programs' settings as the platform names it: $XDG_CONFIG_HOME on
// Linux (empty or relative when not set properly), %APPDATA% on Windows; empty when unknown.
std::string UserConfigurationHome();

// std::fopen for a UTF-8 path.
std::FILE* OpenFile(const std::string& path, const char* mode);

// The text of the system's last error (errno, or GetLastError on Windows).
std::string LastErrorText();

// A file that takes the place of another in one step, so that a reader finds either the old
// content or the new, never a part: written under a temporary name beside the target,
// flushed to the disk, then moved over the target. The target stays as its owner set it up:
// a symbolic link is followed to the file it points to, which is replaced while the link
// stays; a file its user may not write (read-only) is not replaced at all; its permissions
// (and, where the platform allows it, its owner) carry over. Temporary files that earlier
// saves of the same target left behind when they were killed are removed; those of saves
// still running are not. Dropping it uncommitted removes its temporary file.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::string& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // False when nothing can be written: the target refuses it, or no temporary file could be
  // made beside it.
  bool IsOpen() const;
  // The target is there and its user may not write it: writing it in place is no way out.
  bool TargetRefused() const;
  // Appends bytes; false on a write error.
  bool Write(std::string_view bytes);
  // Flushes, closes and moves the file over the target, then makes the move itself durable
  // (the folder synced on POSIX; on Windows the move is written through); false when any
  // step before the move failed (the target is then as it was).
  bool Commit();
  // Why the last step that failed failed, in the system's words; empty when none did.
  const std::string& Error() const;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace kv218
