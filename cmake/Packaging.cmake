# The Debian package, made by CPack's DEB generator from the install rules of app/, tools/
# and packaging/. scripts/package.sh configures a release build installing under /usr and
# runs `cpack -G DEB` in it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvandel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orvandel developers")
set(CPACK_PACKAGE_CONTACT "Orvandel maintainers <maintainers@users.noreply.c-seed-8b2d1c61.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped as Debian strips its own programs (CPack's own stripping leaves the compiler's notes).
set(CPACK_ORVANDEL_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripPackaged.cmake)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for a testing-results workbook that another program writes")
set(CPACK_PACKAGE_DESCRIPTION [[
Orvandel watches a spreadsheet workbook that a testing program keeps
rewriting with its results. On an interval the user chooses (10 to 1000
seconds) it takes a consistent copy of the file, without ever locking out
or modifying the writer, and shows the first 13 columns of the first sheet
in a table that refreshes by itself. It never shows a half-written version
and remembers its window and interval between runs. Its captions are
Russian.

The package also has orvandel-dump, which prints the same table as CSV or
tab-separated text, for scripts.
]])

# orvandel_1.0_amd64.deb: a native package, its version the project's.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the programs link come from dpkg-shlibdeps. What it cannot see: the window
# asks fontconfig for a sans-serif font with Cyrillic letters, and not every font that
# satisfies fontconfig's own dependency has them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")

include(CPack)
