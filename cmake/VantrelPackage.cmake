# The Debian package (cpack -G DEB on a Release tree; scripts/package.sh does it all).
# Library dependencies are read from the binaries by dpkg-shlibdeps; the font is named
# here because the windows ask fontconfig for it by name (Liberation Sans, whose widths
# the layouts were drawn with).
set(VANTREL_FONT_PACKAGE "fonts-liberation2" CACHE STRING
    "Debian package of the font the windows draw with; the package depends on it")
set(VANTREL_PACKAGE_MAINTAINER "Vantrel service engineering <packages@vantrel.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel service engineering")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "diagnostic terminal for an elevator car's controller")
set(CPACK_PACKAGE_DESCRIPTION
    "A service technician's diagnostic terminal for one elevator car's controller,
wired to it by an RS-232 serial line: a live terminal, a car diagnostics screen
(a grid of 75 signal values, speed, stop counter, fault text, lamps, polling
timers and a stress test), a capture logger and a replayer of captured logs.

Also holds vantrel-sim, a simulated controller on a pseudo-terminal, for
training and demonstrations without a controller, and vantrel-log, which sums
up a capture log, finds text in it and exports its signals as VCD or CSV.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTREL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VANTREL_FONT_PACKAGE}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
