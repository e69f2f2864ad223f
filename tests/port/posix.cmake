# The POSIX port and the receive thread, on pseudo-terminals.
kv218_test(termios_line_test termios_line_test.cpp)
kv218_test(posix_port_test posix_port_test.cpp)
kv218_test(receive_thread_test receive_thread_test.cpp)
kv218_test(port_list_test port_list_test.cpp)
