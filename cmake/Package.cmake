# The Debian package: "cpack -G DEB" or "cmake --build BUILD --target
# package" makes kavrin_<version>_<arch>.deb in the build folder.
#
# Its layout is Debian's for games: the programs in /usr/games, where
# /usr/games/kavrin is the script packaging/kavrin that chooses the xboard
# engine's working folder and starts the engine itself from
# /usr/lib/games/kavrin; the books in /usr/share/games/kavrin, where
# kavrin-uci finds them; XBoard's registrations in
# /usr/share/games/plugins/{xboard,uci}; the manual pages in section 6; the
# copyright and changelog in /usr/share/doc/kavrin.
#
# These files form the install component "debian", which a plain
# "cmake --install" leaves out (EXCLUDE_FROM_ALL): an installation keeps
# bin/kavrin, bin/kavrin-uci and share/kavrin.

set(KAVRIN_PACKAGE_MAINTAINER "Kavrin maintainers <maintainers@users.noreply.c-seed-068ffe24.example>"
    CACHE STRING "The Maintainer field of the Debian package")

find_program(KAVRIN_GZIP gzip)
if(NOT KAVRIN_GZIP)
  message(STATUS "No gzip: the Debian package cannot be made in this build folder")
  return()
endif()

set(KAVRIN_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(KAVRIN_MAN_PAGES kavrin kavrin-uci kavrin-book kavrin-games)

# Manual pages and the changelog compressed as Debian has them: gzip -9n,
# without a name or a time stamp, so the same source gives the same bytes.
set(kavrin_compressed)
foreach(file IN LISTS KAVRIN_MAN_PAGES ITEMS changelog)
  if(file STREQUAL "changelog")
    set(source ${KAVRIN_PACKAGING_DIR}/changelog)
    set(copy ${CMAKE_BINARY_DIR}/packaging/changelog)
  else()
    set(source ${KAVRIN_PACKAGING_DIR}/${file}.6)
    set(copy ${CMAKE_BINARY_DIR}/packaging/${file}.6)
  endif()
  add_custom_command(
    OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${KAVRIN_GZIP} -9nf ${copy}
    DEPENDS ${source}
    COMMENT "Compressing ${file} for the Debian package"
    VERBATIM)
  list(APPEND kavrin_compressed ${copy}.gz)
endforeach()
add_custom_target(kavrin_package_files ALL DEPENDS ${kavrin_compressed})

# The package's version is the project's; its changelog must start with it.
file(STRINGS ${KAVRIN_PACKAGING_DIR}/changelog kavrin_changelog_head LIMIT_COUNT 1)
if(NOT kavrin_changelog_head MATCHES "^kavrin \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog does not start with an entry for kavrin ${PROJECT_VERSION}: "
                  "add one before making the package")
endif()
install(CODE "
  file(STRINGS \"${KAVRIN_PACKAGING_DIR}/changelog\" head LIMIT_COUNT 1)
  if(NOT head MATCHES \"^kavrin \\\\(${PROJECT_VERSION}\\\\) \")
    message(FATAL_ERROR \"packaging/changelog does not start with an entry for kavrin ${PROJECT_VERSION}\")
  endif()"
  COMPONENT debian EXCLUDE_FROM_ALL)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(PROGRAMS ${KAVRIN_PACKAGING_DIR}/kavrin DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
install(TARGETS kavrin RUNTIME DESTINATION lib/games/kavrin COMPONENT debian EXCLUDE_FROM_ALL)
install(TARGETS kavrin-uci kavrin-book kavrin-games RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
# A stripped program keeps the compiler's .comment section; Debian's
# packages drop it too.
if(CMAKE_STRIP)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(program games/kavrin-uci games/kavrin-book games/kavrin-games lib/games/kavrin/kavrin)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\"
                        RESULT_VARIABLE failed)
        if(failed)
          message(FATAL_ERROR \"cannot strip \${program}\")
        endif()
      endforeach()
    endif()"
    COMPONENT debian EXCLUDE_FROM_ALL)
endif()
install(FILES bookwtm.mbx bookwtm.mbk bookbtm.mbx bookbtm.mbk
        DESTINATION share/games/kavrin COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${KAVRIN_PACKAGING_DIR}/kavrin.eng
        DESTINATION share/games/plugins/xboard COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${KAVRIN_PACKAGING_DIR}/kavrin-uci.eng
        DESTINATION share/games/plugins/uci COMPONENT debian EXCLUDE_FROM_ALL)
list(TRANSFORM KAVRIN_MAN_PAGES REPLACE "(.+)" "${CMAKE_BINARY_DIR}/packaging/\\1.6.gz" OUTPUT_VARIABLE kavrin_man_files)
install(FILES ${kavrin_man_files} DESTINATION share/man/man6 COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${KAVRIN_PACKAGING_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION share/doc/kavrin COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KAVRIN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The component "debian" alone, as one package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};kavrin;debian;/")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine for XBoard and UCI interfaces")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Kavrin plays chess for graphical interfaces: kavrin speaks the xboard
protocol, kavrin-uci speaks UCI. Both play from Kavrin's opening book in
the first moves of a game, then search with an alpha-beta search, a
quiescence search and a transposition table. kavrin-uci searches on as
many threads as it is given, shows several lines for analysis, and can
play at a chosen level of strength.
.
Both engines are registered in XBoard's engine list (kavrin-uci through
polyglot). The package also holds kavrin-book, which builds Kavrin's
opening book and a Polyglot book from a PGN game collection, and
kavrin-games, which writes random legal games.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KAVRIN_PACKAGE_MAINTAINER})
# Depends from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xboard, polyglot")
include(CPack)
