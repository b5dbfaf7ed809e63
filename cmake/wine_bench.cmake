# Programs that run under Wine beside the integration tests: the clipboard benchmark, a test
# build of the capture that exposes its result, and a second process that holds the clipboard.
set(CVT_CLIPBOARD_HELPERS ${CVT_ROOT}/tests/wine/rig/clipboard_helpers)

# The capture sources compiled exactly as in the plug-in, plus exports for the tests.
add_library(cvt_capture_probe SHARED
    ${CVT_ROOT}/src/common/allocation.cpp
    ${CVT_ROOT}/src/capture/clipboard_backup.cpp
    ${CVT_ROOT}/src/capture/direct_read.cpp
    ${CVT_ROOT}/src/capture/restore_retry.cpp
    ${CVT_ROOT}/src/capture/selection_capture.cpp
    ${CVT_ROOT}/src/capture/selected_text.cpp
    ${CVT_ROOT}/src/common/plugin_lifetime.cpp
    ${CVT_ROOT}/src/settings/settings_store.cpp
    ${CVT_CLIPBOARD_HELPERS}/capture_probe.cpp)
set_target_properties(cvt_capture_probe PROPERTIES PREFIX "")
target_include_directories(cvt_capture_probe PRIVATE ${CVT_ROOT}/src)
target_compile_definitions(cvt_capture_probe PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX
    ${CVT_TARGET_WINDOWS})
cvt_win32_threads(cvt_capture_probe)
target_compile_options(cvt_capture_probe PRIVATE -Os -ffunction-sections -fdata-sections
    -fno-exceptions)
target_link_options(cvt_capture_probe PRIVATE -static -Wl,--gc-sections)
target_link_libraries(cvt_capture_probe PRIVATE gdi32 user32 advapi32)

add_executable(cvt_clipboard_holder ${CVT_CLIPBOARD_HELPERS}/clipboard_holder.cpp)
target_link_options(cvt_clipboard_holder PRIVATE -static)
target_link_libraries(cvt_clipboard_holder PRIVATE user32)

if(TARGET cvt_wine_tests)
    add_dependencies(cvt_wine_tests cvt_capture_probe cvt_clipboard_holder)
endif()

# The capture round trip of the real plug-in beside a bare save-and-restore.
add_executable(cvt_clipboard_bench ${CVT_ROOT}/bench/clipboard_bench.cpp
    ${CVT_ROOT}/tests/wine/rig/clipboard_rig.cpp
    ${CVT_ROOT}/tests/wine/rig/import_patch.cpp
    ${CVT_ROOT}/tests/wine/rig/rig.cpp)
target_include_directories(cvt_clipboard_bench PRIVATE ${CVT_ROOT}/tests/wine)
target_link_libraries(cvt_clipboard_bench PRIVATE psapi)
cvt_host_executable(cvt_clipboard_bench ${CVT_DEF_DIR}/full.def)
add_dependencies(cvt_clipboard_bench CvTrivane)
