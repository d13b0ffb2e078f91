# Install layout and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

# The program links only system libraries; Qt's default $ORIGIN run path would be dead weight.
set_target_properties(mikazuki PROPERTIES INSTALL_RPATH "")
install(TARGETS mikazuki RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The compiler's notes in .comment are of no use to anyone running the program and strip keeps
# them, so they go here as in Debian's own packages; objcopy leaves the symbols alone, so an
# install of a debug build can still be debugged.
if(CMAKE_OBJCOPY)
    set(installed "${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:mikazuki>")
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        --remove-section=.note \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${installed}\"
        COMMAND_ERROR_IS_FATAL ANY)")
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mikazuki.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mikazuki.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# CMAKE_INSTALL_DOCDIR would follow the project name's capital.
set(MIKAZUKI_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/mikazuki)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${MIKAZUKI_DOCDIR})

# The copyright file in Debian's machine-readable format, its licence text taken from LICENSE so
# the two cannot differ. Debian calls the MIT licence of LICENSE "Expat".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
set(MIKAZUKI_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
# A licence paragraph indents every line by one space and writes an empty line as " .".
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
set(MIKAZUKI_LICENCE_TEXT " ${licence}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${MIKAZUKI_DOCDIR})

# The manual page and the changelog go in compressed as Debian wants them: gzip -9 without name
# or time stamp, so the same sources make the same package. They are built with the program,
# since the package is made from a build of that target alone.
set(compressed)
foreach(doc mikazuki.1 changelog)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${doc}.gz
        COMMAND gzip -9n < ${CMAKE_CURRENT_LIST_DIR}/${doc} > ${PROJECT_BINARY_DIR}/${doc}.gz
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${doc}
        COMMENT "Compressing ${doc}"
        VERBATIM)
    list(APPEND compressed ${PROJECT_BINARY_DIR}/${doc}.gz)
endforeach()
add_custom_target(mikazuki_docs DEPENDS ${compressed})
add_dependencies(mikazuki mikazuki_docs)
install(FILES ${PROJECT_BINARY_DIR}/mikazuki.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A native package (no Debian revision) keeps its Debian changelog as changelog.gz.
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${MIKAZUKI_DOCDIR})

# The project has no mail address of its own: without MIKAZUKI_EMAIL the package names one in
# the reserved .invalid domain, which no one can take for a working address.
if(MIKAZUKI_EMAIL)
    set(maintainer_address "${MIKAZUKI_EMAIL}")
else()
    set(maintainer_address "developers@mikazuki.invalid")
endif()
set(MIKAZUKI_MAINTAINER "Mikazuki＋ developers <${maintainer_address}>" CACHE STRING
    "Maintainer field of the Debian package: name <address>")
# A name alone (as build folders configured before held it) gets the address: dpkg wants both.
set(maintainer "${MIKAZUKI_MAINTAINER}")
if(NOT maintainer MATCHES "<[^<>@ ]+@[^<>@ ]+>$")
    set(maintainer "${maintainer} <${maintainer_address}>")
endif()

set(CPACK_PACKAGE_NAME mikazuki)
set(CPACK_PACKAGE_VENDOR "Mikazuki＋ developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "value bets from JRA quinella and quinella-place odds")
# Lines of at most 80 characters, as Debian's tools show them; CPack indents them in the control
# file and writes the empty line as " .".
set(CPACK_PACKAGE_DESCRIPTION
    "Mikazuki＋ reads the race and odds files that the JRA PAT betting client keeps
and looks for pairs of horses whose quinella or wide odds pay clearly more, or
less, than the win and place markets imply.

Its window shows the pairs of a race with their theoretical and actual odds,
marks and recommended bets, and follows the odds as PAT rewrites them. It
records every fetch of the day's races into an odds archive (SQLite) and lists
the race day on a board with the countdown to each close. Its command line
exports a race as CSV, replays a season of races to show what each group of
pairs would have returned, with Kelly stakes, fits and scores the theory
models, and imports, exports and checks the archive.")
set(CPACK_PACKAGE_CONTACT "${maintainer}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${maintainer}")
if(MIKAZUKI_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MIKAZUKI_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends comes from the libraries the program links, so it follows the Qt it was built with;
# the SQLite driver of the odds archive is a plugin, loaded rather than linked, so it is named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# The window's Japanese texts need a font that has them; Qt's own dialogs speak Japanese with
# Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

include(CPack)
