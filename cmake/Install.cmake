# Installation: the program folder (the programs, the colour library, the four
# catalogue tables, "tree control" and registry-defaults.reg) goes whole under
# <prefix>/lib/loomwright-css/, where the program finds its catalogue beside itself;
# <prefix>/bin/loomwright-css links to it; a desktop entry and the icon go to the
# standard folders.
include(GNUInstallDirs)
set(LW_INSTALL_DIR lib/loomwright-css)

foreach(target loomwright-css loomcss)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${LW_INSTALL_DIR})
  endif()
endforeach()
install(TARGETS Colors LIBRARY DESTINATION ${LW_INSTALL_DIR})
install(TARGETS lw_preview_http LIBRARY DESTINATION ${LW_INSTALL_DIR})
install(FILES ${LW_BIN_DIR}/tags.db ${LW_BIN_DIR}/css.db ${LW_BIN_DIR}/attributes.db ${LW_BIN_DIR}/syntax.db
              ${LW_BIN_DIR}/registry-defaults.reg
        DESTINATION ${LW_INSTALL_DIR})
install(DIRECTORY "${LW_BIN_DIR}/tree control" DESTINATION ${LW_INSTALL_DIR})

if(TARGET loomwright-css)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/loomwright-css\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"../${LW_INSTALL_DIR}/loomwright-css\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link}\")
  ")
endif()

install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/loomwright-css.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/loomwright-css.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
