#pragma once
// The wire trace of kv218-sim: every frame from the host and every burst to it, one line each,
// with the time since the trace began and the bytes in hexadecimal:
//   +    12.345678 host> 1F 52 49
//   +    12.346001 sim<  1F 52 49 BF 00 18 21
// Written by the server thread only; each line is flushed so that a trace survives a crash.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kv218::sim {

class WireTrace {
 public:
  WireTrace() = default;
  ~WireTrace();
  WireTrace(const WireTrace&) = delete;
  WireTrace& operator=(const WireTrace&) = delete;

  // Opens (truncates) path; false with error set when it cannot.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return file_ != nullptr; }

  void HostFrame(const std::uint8_t* bytes, std::size_t count);
  void DeviceBurst(const std::uint8_t* bytes, std::size_t count);
  void Note(const char* text);

 private:
  void Line(const char* direction, const std::uint8_t* bytes, std::size_t count);

  std::FILE* file_ = nullptr;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace kv218::sim
