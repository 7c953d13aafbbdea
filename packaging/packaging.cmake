# The players' zip, vandoril-patch-X.Y.Z-win64.zip, with SHA256SUMS beside it
# in <build>/package: Brisco-UnInstall.exe, README.txt (the players'
# instructions with the version, CR LF line ends) and vandoril-patch.exe, at
# the top of the zip so that it can be unpacked straight into the game
# folder.  Made by the target release-zip of the Windows build (the
# "release" workflow preset), the same bytes from every build of the same
# sources: see make_zip.cmake.

# The time of every entry in the zip: the release of this version.
set(VANDORIL_RELEASE_TIME "2026-12-08 00:00:00")

set(package_dir ${CMAKE_BINARY_DIR}/package)
set(zip_name vandoril-patch-${PROJECT_VERSION}-win64.zip)
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${package_dir}/${zip_name} ${package_dir}/SHA256SUMS
  COMMAND ${CMAKE_COMMAND} -DZIP=${package_dir}/${zip_name} -DTIME=${VANDORIL_RELEASE_TIME}
          "-DFILES=$<TARGET_FILE:Brisco-UnInstall>;${CMAKE_BINARY_DIR}/README.txt;$<TARGET_FILE:vandoril-patch>"
          -P ${CMAKE_CURRENT_LIST_DIR}/make_zip.cmake
  DEPENDS Brisco-UnInstall vandoril-patch ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_CURRENT_LIST_DIR}/make_zip.cmake
  VERBATIM)
add_custom_target(release-zip DEPENDS ${package_dir}/${zip_name})
