# The UTF-16 of the "W" calls.
kv218_test(kv218_utf8_win32_test utf8_win32_test.cpp)
# Replacing a file on Windows: its read-only attribute, what killed saves left behind.
kv218_test(replacement_win32_test replacement_win32_test.cpp)
