# SPDX-License-Identifier: MIT
# Desktop integration and manuals, built from their one source each with Debian's tools.
include(GNUInstallDirs)

find_program(CALIMBRA_RSVG_CONVERT rsvg-convert)
find_program(CALIMBRA_SCDOC scdoc)
find_program(CALIMBRA_GZIP gzip)
if(NOT CALIMBRA_RSVG_CONVERT OR NOT CALIMBRA_SCDOC OR NOT CALIMBRA_GZIP)
    message(FATAL_ERROR "rsvg-convert, scdoc and gzip render the icons and manuals: "
                        "run scripts/install-deps.sh (Debian packages librsvg2-bin, scdoc, gzip).")
endif()

# The hicolor sizes desktops ask for, rendered from the SVG, which is installed as the scalable one.
function(calimbra_install_icon name svg)
    set(pngs)
    foreach(size 16 22 24 32 48 64 128 256)
        set(dir ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size})
        set(png ${dir}/${name}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${CALIMBRA_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${svg}
            DEPENDS ${svg} VERBATIM)
        list(APPEND pngs ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(${name}_icons ALL DEPENDS ${pngs})
    install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${name}.svg)
endfunction()

# man/NAME.SECTION.scd becomes NAME.SECTION.gz in the manual's section.
function(calimbra_install_manuals)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.scd)
    set(pages)
    foreach(source ${sources})
        get_filename_component(page ${source} NAME_WLE)
        string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
        set(out ${CMAKE_BINARY_DIR}/man/${page})
        add_custom_command(OUTPUT ${out}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND sh -c "'${CALIMBRA_SCDOC}' < '${source}' > '${out}'"
            COMMAND ${CALIMBRA_GZIP} -9nf ${out}
            DEPENDS ${source} VERBATIM)
        list(APPEND pages ${out}.gz)
        install(FILES ${out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
    endforeach()
    add_custom_target(calimbra_manuals ALL DEPENDS ${pages})
endfunction()

# The metainfo names the homepage, which is set in one place (CALIMBRA_HOMEPAGE).
function(calimbra_install_metainfo file)
    get_filename_component(name ${file} NAME)
    set(HOMEPAGE "${CALIMBRA_HOMEPAGE}")
    configure_file(${file} ${CMAKE_CURRENT_BINARY_DIR}/${name} @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endfunction()
