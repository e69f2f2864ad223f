# Replacing a file on Windows: its read-only attribute, what killed saves left behind.
kv218_test(replacement_win32_test replacement_win32_test.cpp)
