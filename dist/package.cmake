# The Debian package, made by CPack from the install rules above (scripts/package builds and
# checks it): the rules are the one list of what is installed, and the package needs no second
# description of the build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lexorpeek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip-package.cmake)
set(CPACK_PACKAGE_CONTACT "LexorPeek maintainers <maintainers@users.noreply.c-seed-037d4b75.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dictionary look-up in Lexor dictionary files")
set(CPACK_PACKAGE_DESCRIPTION
    "LexorPeek reads Lexor dictionaries, the binary dictionary files kept in
~/Library/Lexor, and looks words up in them by prefix, by matching
strategies such as regular expressions or one edit away, and by full-text
search of the entries' translations and examples. The Ambora suite of
English-Japanese and Japanese-English dictionaries is searched on the side
that the script of each word chooses.

This package holds the command-line program lexorpeek, which also serves the
dictionaries to a browser page on loopback and to every DICT client (as a
socket-activated systemd user service); the desktop window lexorpeek-window;
and lexor-mkdict, which builds Lexor dictionaries from word lists or dictd
dictionaries.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dict")
include(CPack)
