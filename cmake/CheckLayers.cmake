# Refuses an include that points up the folder order of src/.
#
#   cmake -DSOURCE_DIR=<src> -DLAYERS="common;i18n;..." [-DSTAMP=<file>] -P CheckLayers.cmake
#
# LAYERS lists the folders from the bottom up. A file may include headers of its own folder and
# of the folders before it; an include of a later folder, or of a folder not in the list, is an
# error naming the file, the line and both folders.

if(NOT SOURCE_DIR OR NOT LAYERS)
    message(FATAL_ERROR "CheckLayers.cmake needs SOURCE_DIR and LAYERS")
endif()

set(rank 0)
foreach(layer IN LISTS LAYERS)
    set(rank_of_${layer} ${rank})
    math(EXPR rank "${rank} + 1")
endforeach()

set(problems "")
foreach(layer IN LISTS LAYERS)
    file(GLOB files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/[^\"]+\"")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" target "${line}")
            file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
            if(NOT DEFINED rank_of_${target})
                string(APPEND problems "\n  ${shown}: ${line} (folder '${target}' is not a layer)")
            elseif(rank_of_${target} GREATER rank_of_${layer})
                string(APPEND problems
                       "\n  ${shown}: ${line} ('${layer}' must not include '${target}', which is above it)")
            endif()
        endforeach()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "Includes against the folder order ${LAYERS}:${problems}")
endif()
if(STAMP)
    file(TOUCH "${STAMP}")
endif()
