# The record of runs: the JSON lines, appending from many writers.
find_package(nlohmann_json 3 REQUIRED)
kv218_test(kv218_record_tests record_line_test.cpp append_line_test.cpp)
target_link_libraries(kv218_record_tests PRIVATE nlohmann_json::nlohmann_json)
