# The Windows port, on Windows' terms where Wine has no COM port to show them on.
kv218_test(win32_port_test win32_port_test.cpp)
