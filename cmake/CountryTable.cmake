# country.txt, the country names by top-level domain, is generated at build time from Debian's iso-codes data and
# written beside the executables, which is the program folder of a build tree.
include_guard(GLOBAL)

set(TAVRIK_ISO_3166_JSON /usr/share/iso-codes/json/iso_3166-1.json
    CACHE FILEPATH "ISO 3166-1 table of the iso-codes package, the source of country.txt")
if(NOT EXISTS ${TAVRIK_ISO_3166_JSON})
    message(FATAL_ERROR "${TAVRIK_ISO_3166_JSON} not found: install the Debian package iso-codes")
endif()

set(TAVRIK_COUNTRY_TABLE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/country.txt)
add_custom_command(
    OUTPUT ${TAVRIK_COUNTRY_TABLE}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${TAVRIK_ISO_3166_JSON} -DOUTPUT=${TAVRIK_COUNTRY_TABLE}
            -P ${CMAKE_CURRENT_LIST_DIR}/GenerateCountryTable.cmake
    DEPENDS ${TAVRIK_ISO_3166_JSON} ${CMAKE_CURRENT_LIST_DIR}/GenerateCountryTable.cmake
    COMMENT "Generating country.txt from iso-codes"
    VERBATIM)
add_custom_target(country_table ALL DEPENDS ${TAVRIK_COUNTRY_TABLE})
install(FILES ${TAVRIK_COUNTRY_TABLE} DESTINATION share/tavrik)
