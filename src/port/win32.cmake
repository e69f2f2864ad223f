# The Windows port: Win32Port (MakeSystemPort) over kernel32's serial calls. The property
# KV218_SYSTEM_PORT tells the tests that need MakeSystemPort that it is built.
target_sources(kv218_port PRIVATE win32_port.cpp)
set_property(GLOBAL PROPERTY KV218_SYSTEM_PORT win32_port.cpp)
# The COM ports Windows lists (the registry's SERIALCOMM map).
target_sources(kv218_port PRIVATE port_list_win32.cpp)
