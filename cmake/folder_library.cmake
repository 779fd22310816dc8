# One library target per source folder. Every .cpp of the folder is compiled;
# a folder with no sources yet becomes an interface library so that the
# targets that link it still configure.
function(bc_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  file(GLOB _cpp CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_cpp)
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# One GoogleTest program per test folder; every *_test.cpp of the folder is in it.
function(bc_folder_tests name)
  cmake_parse_arguments(ARG "XVFB" "" "DEPS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB _cpp CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT _cpp)
    return()
  endif()
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE bc_testmain bc_testsupport ${ARG_DEPS})
  # XVFB: the program needs an X server (OpenGL). Its listing and each test run
  # under a virtual one on the xcb platform; the tests share one lock, since
  # servers started side by side can pick the same display number. Without
  # xvfb-run the tests run offscreen, where they skip.
  set(_platform offscreen)
  set(_lock)
  if(ARG_XVFB)
    find_program(BC_XVFB_RUN xvfb-run)
    if(BC_XVFB_RUN)
      set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                            "${BC_XVFB_RUN};-a;env;QT_QPA_PLATFORM=xcb")
      set(_platform xcb)
      set(_lock RESOURCE_LOCK xvfb)
    endif()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=${_platform};BC_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
               TIMEOUT 300 ${_lock})
endfunction()

# The report templates ship in the folder of the program (and of the test and
# benchmark programs that write reports).
function(bc_ship_templates target)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/src/res/template
                             $<TARGET_FILE_DIR:${target}>/template)
endfunction()
