# SPDX-License-Identifier: MIT
# cmake --install keeps a record of what it put where, for scripts/uninstall.sh: the files, and the
# folders that did not exist before, so that uninstalling removes those and nothing else. The record
# is a component of its own, which the package leaves out.
set(CALIMBRA_RECORD_COMPONENT calimbra_install_record)

# The first install rule: notes the folders the install is about to create.
function(calimbra_record_install_begin)
    install(CODE "include(\"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/InstallRecord.cmake\")
calimbra_record_new_folders(\"${CMAKE_BINARY_DIR}\")" COMPONENT ${CALIMBRA_RECORD_COMPONENT})
endfunction()

# The last install rule: writes the record.
function(calimbra_record_install_end)
    install(CODE "calimbra_record_write(\"${CMAKE_BINARY_DIR}\")" COMPONENT ${CALIMBRA_RECORD_COMPONENT})
endfunction()
