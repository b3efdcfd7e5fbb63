# SPDX-License-Identifier: GPL-2.0-or-later
# What `cmake --install` (and `make install`) puts where. Included from the top-level
# CMakeLists.txt inside its VELMORA_GUI block, where the velmora target exists.
#
# The program finds the shipped sensor maps at <bindir>/../share/velmora, so the data folder
# is share under the prefix (the GNUInstallDirs default, kept as it is).
include(GNUInstallDirs)

set(velmora_id org.velmora.Velmora)

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/sensormap.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)

# The menu entry, its icon in every size, and the software-centre description.
install(FILES data/${velmora_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/icons/${velmora_id}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES data/icons/hicolor/${size}x${size}/apps/${velmora_id}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES data/${velmora_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES data/velmora.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The folder of the hardware lock, made at every boot (/run is emptied then).
install(FILES data/velmora-tmpfiles.conf DESTINATION lib/tmpfiles.d RENAME velmora.conf)

if(VELMORA_TESTS)
  add_test(NAME Install.TreeDesktopMetainfoManualAndARunFromAnotherFolder
    COMMAND ${CMAKE_SOURCE_DIR}/tools/test-install.sh ${CMAKE_BINARY_DIR})
endif()
