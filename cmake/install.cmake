# `cmake --install` puts the programs, their .desktop file, AppStream metainfo and icon in the
# usual places under the prefix.
include(GNUInstallDirs)
foreach(program pellucor pellucor-cli pellucor-remind)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
set(pellucor_app_id io.github.pellucor.Pellucor)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${pellucor_app_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${pellucor_app_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/pelkin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${pellucor_app_id}.svg)

# The desktop entry and the metainfo must pass the desktop's own validators.
add_test(NAME desktop_files_validate
         COMMAND sh -c "desktop-file-validate \"$0\" && appstreamcli validate --no-net \"$1\""
                 ${PROJECT_SOURCE_DIR}/resources/desktop/${pellucor_app_id}.desktop
                 ${PROJECT_SOURCE_DIR}/resources/desktop/${pellucor_app_id}.metainfo.xml)

# The reminder agent's autostart entry for the whole system, off until a user turns it on
# (`pellucor-cli remind --enable` writes the user's own entry of the same name). It goes to
# PREFIX/etc/xdg/autostart; an installation for the whole system sets CMAKE_INSTALL_SYSCONFDIR=/etc.
install(FILES ${PROJECT_SOURCE_DIR}/resources/autostart/pellucor-remind.desktop
        DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/xdg/autostart)
add_test(NAME autostart_entry_validate
         COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/resources/autostart/pellucor-remind.desktop)
