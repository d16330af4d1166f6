# Where `cmake --install` puts everything, in the folders plug-in hosts scan
# under a prefix: PREFIX/lib/vst, PREFIX/lib/lv2, PREFIX/lib/clap; the tools in
# PREFIX/bin with their manual pages; the README and licence in the doc folder.
# The plug-in folders are the hosts' own names, not the distribution's libdir.
if(WIN32)
  return()
endif()

install(TARGETS TeskDelay LIBRARY DESTINATION lib/vst)
if(TARGET TeskDelay_lv2)
  install(TARGETS TeskDelay_lv2 LIBRARY DESTINATION lib/lv2/TeskDelay.lv2)
  if(TARGET TeskDelay_lv2_ui)
    install(TARGETS TeskDelay_lv2_ui LIBRARY DESTINATION lib/lv2/TeskDelay.lv2)
  endif()
  install(DIRECTORY ${TESK_LV2_BUNDLE}/ DESTINATION lib/lv2/TeskDelay.lv2
    FILES_MATCHING PATTERN "*.ttl")
endif()
if(TARGET TeskDelayClap)
  install(TARGETS TeskDelayClap LIBRARY DESTINATION lib/clap)
endif()

# The tools users run, each with a manual page made from its --help and
# --version by help2man.
set(TESK_INSTALLED_TOOLS)
foreach(tool tesk-render tesk-validate tesk-snapshot tesk-x11host)
  if(TARGET ${tool})
    list(APPEND TESK_INSTALLED_TOOLS ${tool})
  endif()
endforeach()
install(TARGETS ${TESK_INSTALLED_TOOLS} RUNTIME DESTINATION bin)

if(TESK_BUILD_MAN)
  find_program(TESK_HELP2MAN help2man)
  if(NOT TESK_HELP2MAN)
    message(FATAL_ERROR "help2man makes the tools' manual pages: run scripts/setup test to "
      "install it, or configure with -DTESK_BUILD_MAN=OFF")
  endif()
  set(tesk-render_summary "run a VST 2 plug-in over audio files")
  set(tesk-validate_summary "check a VST 2 module the way hosts treat it")
  set(tesk-snapshot_summary "draw the TeskDelay editor into a PNG file")
  set(tesk-x11host_summary "open the TeskDelay editor in an X11 window")
  set(TESK_MAN_PAGES)
  foreach(tool IN LISTS TESK_INSTALLED_TOOLS)
    set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
    # help2man runs the tool by its name; a cross-built tool runs in the
    # emulator, through a script of the same name.
    set(run $<TARGET_FILE:${tool}>)
    if(CMAKE_CROSSCOMPILING_EMULATOR)
      set(run ${PROJECT_BINARY_DIR}/man/emulated/${tool})
      list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
      file(GENERATE OUTPUT ${run} CONTENT "#!/bin/sh\nexec ${emulator} $<TARGET_FILE:${tool}> \"$@\"\n"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
    endif()
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${TESK_HELP2MAN} --no-info --no-discard-stderr --section 1
        --name "${${tool}_summary}" --output ${page} ${run}
      DEPENDS ${tool} COMMENT "Writing the manual page of ${tool}")
    list(APPEND TESK_MAN_PAGES ${page})
  endforeach()
  add_custom_target(tesk_man_pages ALL DEPENDS ${TESK_MAN_PAGES})
  install(FILES ${TESK_MAN_PAGES} DESTINATION share/man/man1)
endif()

install(FILES README.md LICENSE DESTINATION share/doc/teskdelay)
