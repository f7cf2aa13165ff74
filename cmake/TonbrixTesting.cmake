include(GoogleTest)
find_package(GTest REQUIRED)

# tonbrix_add_gtest(NAME SOURCES src... [LIBS lib...] [LABELS l...] [RESOURCE_LOCK lock])
# One test executable per unit. Every GoogleTest case becomes a CTest test that
# carries the labels and the resource lock (tests that start or end processes
# named "evc.exe" share the lock "evc.exe" so that they never run side by side).
function(tonbrix_add_gtest name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TONBRIX_APP_DIR="${TONBRIX_APP_DIR}/"
    TONBRIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}/")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_TESTS)
  # gtest_discover_tests flattens its PROPERTIES into one list, so a second
  # label would become a property name and the lock would be lost. The
  # properties are set instead by a script CTest runs once the cases are known.
  set(lock "")
  if(ARG_RESOURCE_LOCK)
    set(lock "RESOURCE_LOCK \"${ARG_RESOURCE_LOCK}\"")
  endif()
  set(properties_script "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(WRITE "${properties_script}"
    "set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\" ${lock})\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties_script}")
endfunction()

# tonbrix_add_qtest(NAME SOURCES src... [LIBS lib...] [LABELS l...] [RESOURCE_LOCK lock])
# A QtTest executable run on the offscreen platform: windows are real, nothing
# reaches a screen.
function(tonbrix_add_qtest name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  target_compile_definitions(${name} PRIVATE
    TONBRIX_APP_DIR="${TONBRIX_APP_DIR}/"
    TONBRIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}/")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()
