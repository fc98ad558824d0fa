# SPDX-License-Identifier: MIT
# Run by CPack on the staged files: strips the programs as Debian's dh_strip does, with the compiler's
# .comment and .note sections, which plain stripping leaves.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note --strip-unneeded ${program}
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "Could not strip ${program}")
    endif()
endforeach()
