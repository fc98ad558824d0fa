# SPDX-License-Identifier: MIT
# Desktop integration and manuals, built from their one source each with Debian's tools.
include(GNUInstallDirs)

find_program(CALIMBRA_RSVG_CONVERT rsvg-convert)
find_program(CALIMBRA_SCDOC scdoc)
find_program(CALIMBRA_GZIP gzip)
find_program(CALIMBRA_PO4A po4a)
if(NOT CALIMBRA_RSVG_CONVERT OR NOT CALIMBRA_SCDOC OR NOT CALIMBRA_GZIP OR NOT CALIMBRA_PO4A)
    message(FATAL_ERROR "rsvg-convert, scdoc, po4a and gzip render the icons and manuals: "
                        "run scripts/install-deps.sh (Debian packages librsvg2-bin, scdoc, po4a, gzip).")
endif()

# Every later install rule runs between these two, so the record knows which folders it created.
include(${CMAKE_CURRENT_LIST_DIR}/CalimbraUninstall.cmake)
calimbra_record_install_begin()

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

# man/NAME.SECTION.scd becomes NAME.SECTION.gz in the manual's section, and in each language of
# man/po/ (po4a over the rendered English page, as man/po4a.cfg says) under man/LANGUAGE/.
function(calimbra_install_manuals)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.scd)
    file(GLOB catalogues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/po/*.po)
    set(config ${PROJECT_SOURCE_DIR}/man/po4a.cfg)
    set(dir ${CMAKE_BINARY_DIR}/man)
    set(pages)
    set(english)
    set(translated)
    foreach(source ${sources})
        get_filename_component(page ${source} NAME_WLE)
        string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
        add_custom_command(OUTPUT ${dir}/${page} ${dir}/${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND sh -c "'${CALIMBRA_SCDOC}' < '${source}' > '${dir}/${page}'"
            COMMAND ${CALIMBRA_GZIP} -9nkf ${dir}/${page}
            DEPENDS ${source} VERBATIM)
        list(APPEND pages ${dir}/${page}.gz)
        list(APPEND english ${dir}/${page})
        install(FILES ${dir}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
        foreach(catalogue ${catalogues})
            get_filename_component(language ${catalogue} NAME_WLE)
            list(APPEND translated ${dir}/${language}/${page})
            install(FILES ${dir}/${language}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/${language}/man${section})
        endforeach()
    endforeach()
    # The configuration keeps every page however little is translated (scripts/update-translations.sh
    # --check reports what is missing); a page it does not name stops the build here.
    set(compressed)
    foreach(page ${translated})
        list(APPEND compressed ${page}.gz)
    endforeach()
    if(translated)
        add_custom_command(OUTPUT ${compressed}
            COMMAND ${CMAKE_COMMAND} -E rm -f ${translated}
            COMMAND ${CALIMBRA_PO4A} --no-update --force --quiet --srcdir ${dir} --destdir ${dir} ${config}
            COMMAND sh -c "for page; do [ -s \"$page\" ] || { echo \"$page was not made: man/po4a.cfg must name every manual\" >&2; exit 1; }; done" sh ${translated}
            COMMAND ${CALIMBRA_GZIP} -9nf ${translated}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            DEPENDS ${english} ${config} ${catalogues} VERBATIM)
    endif()
    add_custom_target(calimbra_manuals ALL DEPENDS ${pages} ${compressed})
endfunction()

# The metainfo names the homepage, which is set in one place (CALIMBRA_HOMEPAGE).
function(calimbra_install_metainfo file)
    get_filename_component(name ${file} NAME)
    set(HOMEPAGE "${CALIMBRA_HOMEPAGE}")
    configure_file(${file} ${CMAKE_CURRENT_BINARY_DIR}/${name} @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endfunction()
