# Installation layout and the Debian package.
#
#   bin/kolbrin, bin/qel-sim
#   <libdir>/kolbrin/libvorlak.so     private: the program loads it from <program>/../<libdir>/kolbrin
#                                     (KOLBRIN_PACKAGE_LIBRARY_DIR in src/link/CMakeLists.txt)
#   share/applications/kolbrin.desktop, share/icons/hicolor/scalable/apps/kolbrin.svg
#   share/doc/kolbrin/                README.md and docs/
#   share/doc/kolbrin/copyright, changelog.gz
#   share/man/man1/                   kolbrin.1.gz, qel-sim.1.gz
#   share/metainfo/                   the AppStream metainfo (software centres)
#   share/kolbrin/examples/           the simulator's terminal files
#   share/kolbrin/programs/           terminal programs offered for installation (none shipped:
#                                     the repository holds no terminal program to offer)
#   lib/udev/rules.d/                 udev rules for cradles; postinst and postrm reload udev
#
# `cpack -G DEB` in the build folder (or the `package` target) makes kolbrin_<version>_<arch>.deb.
# Tests, benchmarks and fuzzers have no install rules and stay out of it.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT TARGET kolbrin)
    return()
endif()

include(GNUInstallDirs)

# Full RELRO, as Debian's own packages are linked: the symbols are bound at start-up and the
# table that holds them is read-only from then on.
foreach(packaged kolbrin qel-sim vorlak)
    target_link_options(${packaged} PRIVATE LINKER:-z,now)
endforeach()

install(TARGETS kolbrin qel-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A module-like library in a folder of its own: nothing links it, so it stays off the system's
# library path and needs no ldconfig.
install(TARGETS vorlak LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kolbrin NAMELINK_SKIP)

install(FILES packaging/kolbrin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/kolbrin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Read at install time, so a document or rule added later needs no new configure run.
set(kolbrin_docdir ${CMAKE_INSTALL_DATADIR}/doc/kolbrin)
install(FILES README.md DESTINATION ${kolbrin_docdir})
install(DIRECTORY docs/ DESTINATION ${kolbrin_docdir}
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.jpg" PATTERN "*.svg")
install(DIRECTORY sim/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kolbrin/examples)
# The system's part of the program catalogue: the upload dialog lists the programs put here by
# an administrator or another package, beside those in the user's own data folder.
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/kolbrin/programs)

set(KOLBRIN_MAINTAINER "Kolbrin developers <kolbrin@example.org>")
# Dates of this build (SOURCE_DATE_EPOCH, when set, makes them reproducible).
string(TIMESTAMP KOLBRIN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP KOLBRIN_RELEASE_DATE "%Y-%m-%d" UTC)
set(kolbrin_packaging ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/debian/changelog.in ${kolbrin_packaging}/changelog @ONLY)
configure_file(packaging/org.example.kolbrin.metainfo.xml.in
               ${kolbrin_packaging}/org.example.kolbrin.metainfo.xml @ONLY)
# Debian wants the manual pages and the changelog compressed with gzip -9n (no name, no time).
set(kolbrin_gzipped)
foreach(source packaging/man/kolbrin.1 packaging/man/qel-sim.1 ${kolbrin_packaging}/changelog)
    get_filename_component(name ${source} NAME)
    get_filename_component(source ${source} ABSOLUTE)
    add_custom_command(OUTPUT ${kolbrin_packaging}/${name}.gz
        COMMAND gzip -9n -c ${source} > ${kolbrin_packaging}/${name}.gz
        DEPENDS ${source} VERBATIM)
    list(APPEND kolbrin_gzipped ${kolbrin_packaging}/${name}.gz)
endforeach()
add_custom_target(kolbrin_package_files ALL DEPENDS ${kolbrin_gzipped})
install(FILES ${kolbrin_packaging}/kolbrin.1.gz ${kolbrin_packaging}/qel-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/debian/copyright ${kolbrin_packaging}/changelog.gz
        DESTINATION ${kolbrin_docdir})
install(FILES ${kolbrin_packaging}/org.example.kolbrin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY packaging/udev/ DESTINATION lib/udev/rules.d OPTIONAL
        FILES_MATCHING PATTERN "*.rules")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kolbrin")
set(CPACK_PACKAGE_VENDOR "Kolbrin developers")
set(CPACK_PACKAGE_CONTACT "${KOLBRIN_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads records from Qel data-collection terminals")
# Lines of the long description stay under 80 characters, as Debian's tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Kolbrin is the PC companion of Qel portable data-collection terminals."
    "When a terminal goes back on its serial cradle, or calls in over a modem,"
    "Kolbrin reads the collected records and delivers them into a text file or"
    "as keystrokes into the application that has the focus. It also sends"
    "lookup lists, clears terminals and installs terminal software, in English,"
    "Portuguese and Spanish."
    ""
    "The package also holds libvorlak, the terminal communication library, and"
    "qel-sim, a simulated terminal for trying Kolbrin without hardware.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_PACKAGE_NAME "kolbrin")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# No project address exists yet: example.org marks the place of the real one.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KOLBRIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# dpkg-shlibdeps finds the Qt, libxdo and C++ runtime packages from the binaries. The private
# libvorlak.so is loaded by file name, never linked, so no binary asks for it and it needs no
# CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS. Qt's platform plugins (the X11 one among them)
# are only recommended by Qt's GUI library, and without them no window opens. Qt's SQLite
# driver is a plugin as well, loaded by name, so no binary asks for it; without it there is no
# journal.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
# Qt's PostgreSQL driver serves only a site's shared journal (the setting JournalDatabase); a
# single PC does without it. Qt's own translations put the buttons and file dialogs of Qt in
# Portuguese or Spanish; without them those stay English (the program's own texts are built in).
# On a Wayland desktop Qt's Wayland plugin runs the windows natively instead of through
# XWayland (keystroke delivery still needs X11 and says so).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, qt6-translations-l10n, qt6-wayland")
# The maintainer scripts reload the udev rules once they are in place or gone. Scripts of our own
# also keep out the ldconfig calls CPack would add for a library in a folder below /usr/lib:
# /usr/lib/kolbrin is private, not on the library path.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst
                                       ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# A source package of the checkout, not of the build folders beside it.
set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

include(CPack)
