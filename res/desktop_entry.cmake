# Runs at install time: writes the desktop entry with the absolute path of the installed program,
# so that the desktop starts it whether or not its folder is on PATH. The prefix is the one of this
# install (cmake --install --prefix, or the package's /usr), not the one the build was set up with.
set(program "${CMAKE_INSTALL_PREFIX}/${TARVEL1_BINDIR}/tarvel1")
# Inside a quoted argument the desktop entry escapes these with a backslash; a '%' is always
# doubled, or it would be read as a field code.
string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" quoted "${program}")
string(REPLACE "%" "%%" quoted "${quoted}")
if(program MATCHES "[ \t\"'`$\\\\<>~|&;*?#()%]")
    set(TARVEL1_EXEC "\"${quoted}\"")
else()
    set(TARVEL1_EXEC "${quoted}")
endif()
# TryExec is a plain path, not a command line; the entry is hidden when the program is gone.
set(TARVEL1_TRYEXEC "${program}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TARVEL1_DATADIR}/applications/tarvel1.desktop")
message(STATUS "Installing: ${target}")
configure_file("${TARVEL1_DESKTOP_TEMPLATE}" "${target}" @ONLY)
