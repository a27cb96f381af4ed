# make package: a .deb of the installed layout (see packaging/CMakeLists.txt).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@users.noreply.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "inspector for the FX8010 effects DSP of the EMU10K1")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora reads the live state of the FX8010, the effects DSP inside the\n"
    "EMU10K1 sound chip, and shows it decoded with symbolic names: the microcode\n"
    "as a listing with change marks and history, the register memory as a grid,\n"
    "the delay-line memory as a tree of tanks and the effect programs of the\n"
    "driver's effects library. It comes with emuapsd, a driver stand-in that\n"
    "serves a simulated EMU10K1 or a real card, started on demand by its\n"
    "systemd user socket.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries (Qt 6, QScintilla, libsndfile, alsa-lib's libasound2 for
# --play, ...) are worked out by dpkg-shlibdeps, which also finds the private
# libzendra.so; the fonts the windows are laid out for are named here, and
# xdg-utils, whose xdg-open Qt starts to show readme.txt (Help > Readme...).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${VELMORA_PROGRAM_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-wine, xdg-utils")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/drop_ldconfig_scripts.cmake)
include(CPack)
