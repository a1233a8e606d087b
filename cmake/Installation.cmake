# cmake --install <build> [--prefix DIR]: the three programs and the server's thumbnailer (the core
# and its adapters are linked in statically; the shared libraries they use are Debian's), their man
# pages made at build time from each program's own --help by help2man, bash completion for
# wharfling, the application icon and the file managers' entries in their system-wide places,
# written by `wharfling register` itself so that they are the very entries it writes for a user.
include(GNUInstallDirs)

install(TARGETS wharfling RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md docs/cli-json.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES apps/wharfling/wharfling.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME wharfling)

# One man page per program: help2man over the built program, with the sections --help cannot hold in
# docs/man/<program>.h2m. Without help2man or Python the pages are left out (a plain build never
# fails on it).
find_program(WHARFLING_HELP2MAN help2man)
find_package(Python3 COMPONENTS Interpreter)
set(WHARFLING_MAN_PAGES "")
function(wharfling_man_page target section description)
  if(NOT WHARFLING_HELP2MAN OR NOT Python3_Interpreter_FOUND OR NOT TARGET ${target})
    return()
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${target}.${section})
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/man_page.py ${WHARFLING_HELP2MAN} $<TARGET_FILE:${target}>
            ${section} "${description}" ${CMAKE_SOURCE_DIR}/docs/man/${target}.h2m ${page}
    DEPENDS ${target} ${CMAKE_SOURCE_DIR}/docs/man/${target}.h2m ${CMAKE_SOURCE_DIR}/cmake/man_page.py
    COMMENT "Writing the man page ${target}(${section})")
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  set(WHARFLING_MAN_PAGES ${WHARFLING_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()
wharfling_man_page(wharfling 1 "upload photos to fourteen photo sites from the terminal")
wharfling_man_page(wharfling-desktop 1 "the upload dialog for photos sent from a file manager")
wharfling_man_page(parvault-server 8 "the in-house Parvault photo server")

if(TARGET parvault-server)
  install(TARGETS parvault-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Found by the server from its own folder (WHARFLING_THUMBNAILER_FROM_BINDIR).
  install(TARGETS parvault-thumbnailer RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/parvault-server)
endif()

set(WHARFLING_ENTRIES "")
if(TARGET wharfling-desktop)
  install(TARGETS wharfling-desktop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES platform/posix/icons/wharfling.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Nautilus has no system-wide scripts folder: its users keep `wharfling register`.
  set(staging ${CMAKE_BINARY_DIR}/system-entries)
  set(entry_dirs applications Thunar/sendto nemo/actions kio/servicemenus)
  set(entry_files applications/wharfling-upload-parvault.desktop Thunar/sendto/wharfling-upload-parvault.desktop
                  nemo/actions/wharfling-upload-parvault.nemo_action kio/servicemenus/wharfling-upload-parvault.desktop)
  list(TRANSFORM entry_files PREPEND ${staging}/ OUTPUT_VARIABLE WHARFLING_ENTRIES)
  # The entries name the installed program: written again when the prefix changes.
  set(installed_program ${CMAKE_INSTALL_FULL_BINDIR}/wharfling-desktop)
  file(CONFIGURE OUTPUT ${staging}.program CONTENT "${installed_program}\n")
  add_custom_command(
    OUTPUT ${WHARFLING_ENTRIES}
    COMMAND $<TARGET_FILE:wharfling> register --prefix ${staging} --program ${installed_program} >/dev/null
    DEPENDS wharfling ${staging}.program
    COMMENT "Writing the file managers' entries")
  foreach(dir IN LISTS entry_dirs)
    install(DIRECTORY ${staging}/${dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/${dir} FILE_PERMISSIONS OWNER_READ
            OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
endif()

# Built with `all`, and by name where only the programs are built (the package).
add_custom_target(wharfling_install_files ALL DEPENDS ${WHARFLING_MAN_PAGES} ${WHARFLING_ENTRIES})
