# The UTF-16 of the "W" calls.
kv218_test(kv218_utf8_win32_test utf8_win32_test.cpp)
