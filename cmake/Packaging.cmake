# The Debian package: 'cpack -G DEB' in the build folder makes
# pelorin2_<version>_<arch>.deb from the install rules, installed under /usr.
# Only the programs and their data have install rules; tests, benchmarks and
# fuzzers stay in the build folder.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelorin2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pelorin2 developers")
set(CPACK_PACKAGE_CONTACT "Pelorin2 developers <pelorin2@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write an HTML index page into every folder of a tree")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelorin2 turns a folder tree into browsable static HTML: it writes one index\n"
    "page into every folder, made from an HTML template you write. Comment tags\n"
    "in the template are replaced by the title, category names, counts, links to\n"
    "the subfolders' pages, the list of files and a link to the parent page.\n"
    "\n"
    "The package holds the desktop application pelorin2 (Qt 6) and the\n"
    "command-line tool pelorin2-cli, which run the same engine.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped of symbols here, and of the comment and note sections by the
# install step at the end of src/CMakeLists.txt, as Debian's own are.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://example.org/pelorin2/)
# Depends from the libraries the programs link (dpkg-shlibdeps), and the Qt
# platform plugins, which the window cannot open without and which no
# library names; --open and the desktop application's File menu hand
# documents to xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What every Debian package carries in /usr/share/doc/pelorin2: the
# machine-readable copyright and, for a package without a Debian revision,
# changelog.gz (compressed without name or time, so its bytes do not depend
# on the build). The changelog's first entry names the project's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^pelorin2 \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog has no entry for ${PROJECT_VERSION} at its top")
endif()
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/debian
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
          ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog
  COMMAND ${PELORIN_GZIP} -9nf ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
add_custom_target(pelorin_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})

# Tags lintian gives in error, each with its reason in the file.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides.in
               ${CMAKE_CURRENT_BINARY_DIR}/debian/lintian-overrides @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${CPACK_PACKAGE_NAME})

include(CPack)
