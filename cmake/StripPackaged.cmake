# Run by CPack on the staged files before it packs them: strips the programs as Debian strips
# its own (dh_strip): no symbols beyond those needed to run, and no compiler's notes.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
    message(FATAL_ERROR "No programs staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
    execute_process(
        COMMAND ${CPACK_ORVANDEL_STRIP} --remove-section=.comment --remove-section=.note
                --strip-unneeded ${program}
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
