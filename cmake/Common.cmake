# Flags and helpers shared by every configuration.

option(QUILTOR_BUILD_TESTS "Build the test programs" ON)
option(QUILTOR_SANITIZE "Build native code with AddressSanitizer and UBSan" ON)

if(WIN32)
  set(QUILTOR_WIN32 ON)
else()
  set(QUILTOR_WIN32 OFF)
endif()

# Identical floating-point decisions in both builds, so both write identical patches.
add_compile_options(-msse2 -mfpmath=sse -ffp-contract=off)
# Every warning is an error, in every configuration; a name that hides another is a warning.
add_compile_options(-Wall -Wextra -Wshadow -Werror)

if(QUILTOR_WIN32)
  # Both Windows builds are the same sources: a pointer or handle squeezed into a narrower
  # integer, or a callback cast to another signature, is an error in either.
  add_compile_options(-Werror=int-to-pointer-cast -Werror=cast-function-type
                      $<$<COMPILE_LANGUAGE:C>:-Werror=pointer-to-int-cast>)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0501 WINVER=0x0501)
  add_link_options(-static -static-libgcc -static-libstdc++)
elseif(QUILTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(ZLIB REQUIRED)

# Tests of the Windows builds run under Wine through this launcher, each tree in a prefix
# of its own; their names say which loader ran them (wine32.* or wine64.*).
set(QUILTOR_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run)
set(QUILTOR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# Tests that compare a Windows build with the native one find it beside their own tree
# (scripts/test builds the native tree first).
set(QUILTOR_NATIVE_BUILD_DIR ${CMAKE_BINARY_DIR}/../native CACHE PATH
    "The native build tree, for the tests that run both builds")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QUILTOR_WINE wine64)
else()
  set(QUILTOR_WINE wine32)
endif()

# quiltor_add_test(NAME name SOURCES ... LIBS ... [GTEST] [TIMEOUT s] [ENV k=v ...])
# A GoogleTest program is registered per case natively and as one test under Wine (one
# Wine start per program, named ${QUILTOR_WINE}.NAME); the launcher checks that GoogleTest really wrote its report.
function(quiltor_add_test)
  cmake_parse_arguments(T "GTEST;WINDOWS_GUI" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;ARGS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  if(T_GTEST)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main)
  endif()
  set(env TZ=UTC ${T_ENV})
  if(QUILTOR_WIN32)
    set(mode plain)
    if(T_GTEST)
      set(mode gtest)
    endif()
    add_test(NAME ${QUILTOR_WINE}.${T_NAME}
             COMMAND ${QUILTOR_WINE_RUN} --prefix ${QUILTOR_WINEPREFIX} --timeout ${T_TIMEOUT}
                     --mode ${mode} $<TARGET_FILE:${T_NAME}> ${T_ARGS}
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    # ctest's own limit sits above the launcher's, so the launcher reports a hang first.
    math(EXPR ctest_timeout "${T_TIMEOUT} + 120")
    set_tests_properties(${QUILTOR_WINE}.${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${ctest_timeout})
  elseif(T_GTEST)
    include(GoogleTest)
    # Discovered tests take one ENVIRONMENT value only, so the environment travels in the
    # program's launcher instead.
    set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${env}")
    gtest_discover_tests(${T_NAME} TEST_PREFIX native. PROPERTIES TIMEOUT ${T_TIMEOUT}
                         DISCOVERY_TIMEOUT 60)
  else()
    add_test(NAME native.${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
    set_tests_properties(native.${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
