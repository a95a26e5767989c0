# The Windows program: tarnwick.exe, a GUI program with its icon and version
# resource. Included from app/ in the Windows tree.

set(TW_PUBLISHER "Tarnwick developers" CACHE STRING "Publisher shown in the program's properties")

# The icon is drawn once, as packaging's SVG; its bitmap sizes are made here.
find_program(TW_RSVG_CONVERT rsvg-convert REQUIRED)
set(tw_win_out ${PROJECT_BINARY_DIR}/packaging/windows)
set(TW_WIN_ICON ${tw_win_out}/tarnwick.ico)
set(tw_icon_pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${tw_win_out}/icon-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tw_win_out}
    COMMAND ${TW_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/packaging/tarnwick.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/tarnwick.svg VERBATIM)
  list(APPEND tw_icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${TW_WIN_ICON}
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/make-ico.sh ${TW_WIN_ICON} ${tw_icon_pngs}
  DEPENDS ${tw_icon_pngs} ${PROJECT_SOURCE_DIR}/scripts/make-ico.sh VERBATIM)

# The manifest's assembly version has four parts.
set(TW_MANIFEST_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(TW_WIN_MANIFEST ${tw_win_out}/tarnwick.manifest)
configure_file(${PROJECT_SOURCE_DIR}/app/tarnwick.manifest.in ${TW_WIN_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/app/tarnwick_win32.rc.in ${tw_win_out}/tarnwick.rc @ONLY)
set_source_files_properties(${tw_win_out}/tarnwick.rc PROPERTIES
  OBJECT_DEPENDS "${TW_WIN_ICON};${TW_WIN_MANIFEST}")

add_executable(tarnwick WIN32 main.cpp ${tw_win_out}/tarnwick.rc)
target_link_libraries(tarnwick PRIVATE tw_app)
