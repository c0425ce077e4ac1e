# The Debian package: cpack -G DEB in the build folder (scripts/check-package.sh builds and checks
# it). Its dependencies are the shared libraries the programs link, as dpkg-shlibdeps finds them.

# Debian wants the licence as share/doc/<package>/copyright and a compressed changelog beside it.
# The package holds only the project's own work: its licence is LICENSE up to the list of the test
# songs, which the package does not contain.
set(TARVEL1_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tarvel1)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
string(FIND "${licence}" "\n----" own_end)
string(SUBSTRING "${licence}" 0 ${own_end} licence)
file(WRITE ${CMAKE_BINARY_DIR}/copyright "${licence}\n")
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${TARVEL1_DOCDIR})
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/cmake/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${TARVEL1_DOCDIR})

set(CPACK_PACKAGE_NAME tarvel1)
set(CPACK_PACKAGE_VENDOR "ZANTO")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZANTO MIDI PLAYER developers <zanto@example.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "re-harmonise a MIDI file and play it")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "ZANTO MIDI PLAYER (SMF ZantoArranger) opens a Standard MIDI File and"
    "re-harmonises it: every note that lies off the chosen scale, counted from"
    "the chosen key, drops a semitone, or every note is mirrored within the"
    "octave. Drums are never touched."
    "."
    "The converted song plays through a built-in General MIDI synthesizer and"
    "can be saved as a new MIDI file. The package holds the window program"
    "tarvel1 and the command-line converter tarvel1-convert.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARVEL1_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Playing needs a General MIDI SoundFont and the form's Japanese font; converting needs neither.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont | fluid-soundfont-gm, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
