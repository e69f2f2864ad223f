# The simulated programmer on a pseudo-terminal, and kv218-sim around it.
target_sources(kv218_sim PRIVATE pty_server.cpp)

find_package(CLI11 REQUIRED)
add_executable(kv218-sim main.cpp)
target_link_libraries(kv218-sim PRIVATE kv218_sim CLI11::CLI11)
kv218_warnings(kv218-sim)
kv218_product(kv218-sim)
