# Run by CPack on the staged files before it packs them: strips every ELF file as Debian's own
# packaging does, symbols and the sections no program needs at run time (.comment, .note) alike.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(path ${staged})
  if(IS_SYMLINK "${path}")
    continue()
  endif()
  file(READ "${path}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                            --strip-unneeded "${path}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
