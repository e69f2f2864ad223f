#include "sim/wire_trace.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "ground/platform.h"

namespace kv218::sim {

WireTrace::~WireTrace() {
  if (file_ != nullptr) std::fclose(file_);
}

bool WireTrace::Open(const std::string& path, std::string& error) {
  file_ = OpenFile(path, "w");
  if (file_ == nullptr) {
    error = "cannot write the trace " + path + ": " + std::strerror(errno);
    return false;
  }
  start_ = std::chrono::steady_clock::now();
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalTime(now);
  char when[64];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  std::fprintf(file_, "# kv218-sim wire trace, started %s\n", when);
  std::fflush(file_);
  return true;
}

void WireTrace::Line(const char* direction, const std::uint8_t* bytes, std::size_t count) {
  if (file_ == nullptr) return;
  const std::chrono::duration<double> since = std::chrono::steady_clock::now() - start_;
  std::fprintf(file_, "+%13.6f %s", since.count(), direction);
  for (std::size_t i = 0; i < count; ++i) std::fprintf(file_, " %02X", bytes[i]);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void WireTrace::HostFrame(const std::uint8_t* bytes, std::size_t count) {
  Line("host>", bytes, count);
}

void WireTrace::DeviceBurst(const std::uint8_t* bytes, std::size_t count) {
  Line("sim< ", bytes, count);
}

void WireTrace::Note(const char* text) {
  if (file_ == nullptr) return;
  const std::chrono::duration<double> since = std::chrono::steady_clock::now() - start_;
  std::fprintf(file_, "+%13.6f -- %s\n", since.count(), text);
  std::fflush(file_);
}

}  // namespace kv218::sim
