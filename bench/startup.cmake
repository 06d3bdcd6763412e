# The desktop's benchmarks; not part of the tests.
if(NOT SUITE_SERVER_ONLY)
  # suite_add_desktop_bench(NAME LIBS...): one program of bench/NAME.cpp; with the module
  # fixture (a real suite-server) when it links rci06000core.
  function(suite_add_desktop_bench name)
    add_executable(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${name}.cpp)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/rci06000 ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    target_link_libraries(${name} PRIVATE ${ARGN} Qt6::Test)
    add_dependencies(${name} suite-server)
  endfunction()

  # From IniProc to the end of the screen's first activation, against the demo database.
  suite_add_desktop_bench(startup_bench rci06000core suitedb suiteprovision)
  # The destination grid with a large grouping: load and mark-all.
  suite_add_desktop_bench(grid_bench rci06000core)
  # A "Todos" integration through the screen against the same request to the service alone.
  suite_add_desktop_bench(screen_bench rci06000core suitedb suiteprovision)
  # The dish picker over a large dish table: opening and filtering.
  suite_add_desktop_bench(picker_bench mrv)
  # The random-input tester at length (bench/monkey); ctest replays it briefly (tests/desktop).
  suite_add_desktop_bench(monkey_bench desktopkit)
  add_dependencies(monkey_bench suite-host rci06000)
endif()
