# The delay relay is built with the benchmarks that use it and with the
# tests that check it, whichever comes first; it always lands in bench/.
if(NOT TARGET delay_relay)
  find_package(Threads REQUIRED)
  add_executable(delay_relay ${PROJECT_SOURCE_DIR}/bench/delay_relay.cpp)
  target_link_libraries(delay_relay PRIVATE Threads::Threads)
  set_target_properties(delay_relay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endif()
