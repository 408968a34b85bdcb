# The namespace lab serves the test suites and the benchmarks; a benchmark build may leave the tests out, so both
# include this file and the first one defines the target.
if(NOT TARGET tavrik_netns_lab)
    add_library(tavrik_netns_lab STATIC ${CMAKE_CURRENT_LIST_DIR}/NetnsLab.h ${CMAKE_CURRENT_LIST_DIR}/NetnsLab.cpp)
    target_link_libraries(tavrik_netns_lab PUBLIC tavrik_config Qt6::Core)
endif()
