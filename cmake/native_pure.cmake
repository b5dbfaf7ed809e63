# Pure text logic of the plug-in (no Win32), built natively for unit tests, sanitizers,
# fuzzing and the benchmark. Included from the top-level CMakeLists in the native
# configuration; expects C++17 and the warning flags to be set there, and CVT_ROOT to name
# the source tree (defaults to the including project's source directory).

if(NOT DEFINED CVT_ROOT)
    set(CVT_ROOT ${CMAKE_SOURCE_DIR})
endif()

option(CVT_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)
option(CVT_FUZZ "Build the libFuzzer targets (clang only)" ON)

if(CVT_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

add_library(cvt_pure STATIC
    ${CVT_ROOT}/src/common/bounded_text.cpp
    ${CVT_ROOT}/src/open/path_logic.cpp
    ${CVT_ROOT}/src/open/path_reading.cpp
    ${CVT_ROOT}/src/open/launch_plan.cpp
    ${CVT_ROOT}/src/open/server_name.cpp
    ${CVT_ROOT}/src/open/question_text.cpp
    ${CVT_ROOT}/src/open/path_ends.cpp
    ${CVT_ROOT}/src/host/menu_caption.cpp)
target_include_directories(cvt_pure PUBLIC ${CVT_ROOT}/src)

find_package(GTest REQUIRED)
include(GoogleTest)
add_executable(cvt_native_tests
    ${CVT_ROOT}/tests/native/bounded_text_test.cpp
    ${CVT_ROOT}/tests/native/path_logic_test.cpp
    ${CVT_ROOT}/tests/native/path_ends_test.cpp
    ${CVT_ROOT}/tests/native/launch_plan_test.cpp
    ${CVT_ROOT}/tests/native/question_text_test.cpp
    ${CVT_ROOT}/tests/native/menu_caption_test.cpp
    ${CVT_ROOT}/tests/native/mail_corpus_test.cpp)
target_link_libraries(cvt_native_tests PRIVATE cvt_pure GTest::gtest_main)
target_compile_definitions(cvt_native_tests PRIVATE
    CVT_MAIL_CORPUS="${CVT_ROOT}/tests/native/mail-lines.tsv")
gtest_discover_tests(cvt_native_tests DISCOVERY_MODE PRE_TEST)

if(CVT_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    foreach(target fuzz_path fuzz_bounded)
        add_executable(cvt_${target} ${CVT_ROOT}/fuzz/${target}.cpp)
        # The library is compiled again with the fuzzer's coverage instrumentation.
        target_sources(cvt_${target} PRIVATE $<TARGET_PROPERTY:cvt_pure,SOURCES>)
        target_include_directories(cvt_${target} PRIVATE ${CVT_ROOT}/src)
        target_compile_options(cvt_${target} PRIVATE -fsanitize=fuzzer,address,undefined
                               -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        target_link_options(cvt_${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    endforeach()
endif()

find_package(benchmark QUIET)
if(benchmark_FOUND)
    # Built optimised whatever the build type, with its own copy of the sources, so that the
    # figures mean something in a debug tree too.
    add_executable(cvt_path_bench ${CVT_ROOT}/bench/path_bench.cpp
                   $<TARGET_PROPERTY:cvt_pure,SOURCES>)
    target_include_directories(cvt_path_bench PRIVATE ${CVT_ROOT}/src)
    target_compile_options(cvt_path_bench PRIVATE -O2)
    target_link_libraries(cvt_path_bench PRIVATE benchmark::benchmark)
endif()
