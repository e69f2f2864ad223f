# The POSIX port: termios line settings, the writer thread, PosixPort (MakeSystemPort). The
# property KV218_SYSTEM_PORT tells the tests that need MakeSystemPort that it is built.
target_sources(kv218_port PRIVATE
  termios_line.cpp
  custom_baud.cpp
  port_writer.cpp
  posix_port.cpp
)
set_property(GLOBAL PROPERTY KV218_SYSTEM_PORT posix_port.cpp)
# The serial devices of a Linux machine (sysfs).
target_sources(kv218_port PRIVATE port_list_linux.cpp)
