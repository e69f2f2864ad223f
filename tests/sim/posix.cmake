# The simulated programmer on a pseudo-terminal.
target_sources(sim_port_test PRIVATE pty_server_test.cpp)
