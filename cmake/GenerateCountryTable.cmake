# Writes country.txt ("CODE;Name" lines, CR LF ends) from the iso-codes ISO 3166-1 table.
# Run as: cmake -DINPUT=iso_3166-1.json -DOUTPUT=country.txt -P GenerateCountryTable.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
    message(FATAL_ERROR "GenerateCountryTable.cmake needs -DINPUT=<iso_3166-1.json> -DOUTPUT=<country.txt>")
endif()

file(READ "${INPUT}" json)
string(JSON count LENGTH "${json}" "3166-1")
math(EXPR last "${count} - 1")

# Names are kept in one variable per code: a CMake list would split them at ";" and treat "[" specially.
set(codes)
foreach(i RANGE ${last})
    string(JSON code GET "${json}" "3166-1" ${i} "alpha_2")
    string(JSON name GET "${json}" "3166-1" ${i} "name")
    if(NOT code MATCHES "^[A-Z][A-Z]$")
        message(FATAL_ERROR "${INPUT}: entry ${i} has the code '${code}'")
    endif()
    # ";" separates the fields of a line; a name must not contain it.
    string(REPLACE ";" "," name "${name}")
    list(APPEND codes ${code})
    set(name_${code} "${name}")
endforeach()

# Top-level domains that are no ISO 3166-1 code but still appear in host names: the historic Soviet Union and the
# ccTLD-only codes.
foreach(extra "SU=USSR" "UK=United Kingdom" "EU=European Union" "AC=Ascension Island")
    string(REGEX MATCH "^([A-Z][A-Z])=(.*)$" unused "${extra}")
    if(NOT DEFINED name_${CMAKE_MATCH_1})
        list(APPEND codes ${CMAKE_MATCH_1})
        set(name_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
endforeach()

list(SORT codes)
set(text "")
foreach(code IN LISTS codes)
    string(APPEND text "${code};${name_${code}}\r\n")
endforeach()

# Written beside the target and renamed over it, so a reader never sees half a table.
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
