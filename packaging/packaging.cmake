# Install layout and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

# The program links only system libraries; Qt's default $ORIGIN run path would be dead weight.
set_target_properties(mikazuki PROPERTIES INSTALL_RPATH "")
install(TARGETS mikazuki RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mikazuki.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mikazuki.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# CMAKE_INSTALL_DOCDIR would follow the project name's capital.
install(FILES ${PROJECT_SOURCE_DIR}/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mikazuki)

set(MIKAZUKI_MAINTAINER "Mikazuki＋ developers" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME mikazuki)
set(CPACK_PACKAGE_VENDOR "Mikazuki＋ developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "value bets from JRA quinella and quinella-place odds")
set(CPACK_PACKAGE_DESCRIPTION
    "Mikazuki＋ reads the race and odds files that the PAT betting client keeps \
and looks for pairs of horses whose quinella or wide odds pay clearly more, or \
less, than the win and place markets imply.")
set(CPACK_PACKAGE_CONTACT "${MIKAZUKI_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MIKAZUKI_MAINTAINER}")
if(MIKAZUKI_EMAIL)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MIKAZUKI_MAINTAINER} <${MIKAZUKI_EMAIL}>")
endif()
if(MIKAZUKI_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MIKAZUKI_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends comes from the libraries the program links, so it follows the Qt it was built with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

include(CPack)
