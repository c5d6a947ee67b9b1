# The workbook operations as the import drives them, shared by the reader's fuzz target and the
# test that replays the inputs it found.
add_library(orvandel_readerops STATIC
    ${CMAKE_SOURCE_DIR}/tests/support/ReaderOperations.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/ReaderOperations.h)
target_link_libraries(orvandel_readerops PUBLIC orvandel_core)
