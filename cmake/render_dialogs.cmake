# The picture helper: a stand-in host session that opens one of the plug-in's windows for
# scripts/render-pictures.sh. Built only on request (make pictures).
add_executable(cvt_render_pictures EXCLUDE_FROM_ALL ${CVT_ROOT}/tools/render_pictures.cpp
    ${CVT_ROOT}/tests/wine/rig/dialogs.cpp
    ${CVT_ROOT}/tests/wine/rig/rig.cpp
    ${CVT_ROOT}/tests/wine/rig/import_patch.cpp)
target_include_directories(cvt_render_pictures PRIVATE ${CVT_ROOT}/tests/wine)
target_link_options(cvt_render_pictures PRIVATE -municode)
cvt_host_executable(cvt_render_pictures ${CVT_DEF_DIR}/full.def)
add_dependencies(cvt_render_pictures CvTrivane)
