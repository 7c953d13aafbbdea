# Release package for players: a zip that holds vandoril-patch.exe and the
# players' instructions (README.txt, CR LF line ends), both at the top of the
# zip so that it can be unpacked straight into the game folder.
# Made in the Windows build by `cpack` (see the "release" workflow preset).

install(TARGETS vandoril-patch RUNTIME DESTINATION .)
# The package needs vandoril-patch.exe alone (the "windows" build preset builds
# just that), not every target of the tree: some tools are POSIX programs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vandoril-patch)
set(CPACK_PACKAGE_VENDOR vandoril-patch)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Exchanges San Marino and the Netherlands in Veldo's data")
set(CPACK_PACKAGE_FILE_NAME vandoril-patch-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
