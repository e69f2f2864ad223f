# The simulated programmer on a pseudo-terminal.
target_sources(sim_port_test PRIVATE pty_server_test.cpp)

# The host's two framings of the programmer's bursts, over a pseudo-terminal.
kv218_test(framing_test SLOW framing_test.cpp ../runs/test_hex.cpp)
target_link_libraries(framing_test PRIVATE kv218_sim)
