# orvandel_library(<name> <sources...>)
#
# Each folder of the product is one static library, and its headers are included by their
# path from the top of the tree ("sheet/model/Workbook.h"). The include directory a library
# hands on to what links it holds links to its own folder's headers and nothing else, so that
# a header is found only by code that links its library: an include against the direction of
# the links (util of app, app/core of a widget) fails to build. A header is handed on when it is
# listed among the sources, as every file of the library is.
function(orvandel_library name)
    add_library(${name} STATIC ${ARGN})
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${CMAKE_BINARY_DIR}/include/${name})
    set(headers ${ARGN})
    list(FILTER headers INCLUDE REGEX "\\.h$")
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
        get_filename_component(file ${header} NAME)
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${file} SYMBOLIC)
    endforeach()
    target_include_directories(${name} PUBLIC ${root})
endfunction()
