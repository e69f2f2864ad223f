# Windows only: UTF-8 to and from the UTF-16 of the "W" calls (declared in utf8.h).
target_sources(kv218_ground PRIVATE utf8_win32.cpp)
