# Start-up of the integration screen: from IniProc to the end of its first activation,
# against suite-server on a loopback port with the demo database. Not part of the tests.
if(NOT SUITE_SERVER_ONLY)
  add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
  target_include_directories(startup_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/rci06000)
  target_link_libraries(startup_bench PRIVATE rci06000core suitedb Qt6::Test)
  add_dependencies(startup_bench suite-server)
endif()

# The destination grid with a large grouping: load and mark-all times.
if(NOT SUITE_SERVER_ONLY)
  add_executable(grid_bench ${CMAKE_CURRENT_LIST_DIR}/grid_bench.cpp)
  target_link_libraries(grid_bench PRIVATE rci06000core)
endif()

# A "Todos" integration through the screen against the same request to the service alone.
if(NOT SUITE_SERVER_ONLY)
  add_executable(screen_bench ${CMAKE_CURRENT_LIST_DIR}/screen_bench.cpp)
  target_include_directories(screen_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/rci06000)
  target_link_libraries(screen_bench PRIVATE rci06000core suitedb Qt6::Test)
  add_dependencies(screen_bench suite-server)
endif()

# The dish picker over a large dish table: opening and filtering.
if(NOT SUITE_SERVER_ONLY)
  add_executable(picker_bench ${CMAKE_CURRENT_LIST_DIR}/picker_bench.cpp)
  target_link_libraries(picker_bench PRIVATE mrv Qt6::Test)
endif()
