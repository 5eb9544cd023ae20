# The folders an install makes, for scripts/uninstall.sh, which removes them again and no
# others. Before anything is copied, every folder that the install writes into and that
# does not exist yet, and each missing folder above it, is written to
# BUILD/install_new_dirs.txt, deepest first, after a first line "DESTDIR=..." (like
# install_manifest.txt, the paths leave DESTDIR out). Folders that an earlier install into
# the same place listed stay listed, so an install over an install can still be undone.
#
# Included before the other install rules, with the list of the folders they write into
# (relative to the prefix, as GNUInstallDirs names them) in kelvane_install_dirs.

# The examples' subfolders go where the examples go.
file(GLOB_RECURSE example_entries LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR}/examples
    ${CMAKE_SOURCE_DIR}/examples/*)
foreach(entry ${example_entries})
    if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/examples/${entry})
        list(APPEND kelvane_install_dirs ${CMAKE_INSTALL_DATADIR}/kelvane/examples/${entry})
    endif()
endforeach()

# A component of its own, which the package leaves out (CPACK_INSTALL_CMAKE_PROJECTS):
# cpack installs into a staging folder, and must not overwrite the list.
install(CODE "set(kelvane_install_dirs \"${kelvane_install_dirs}\")
set(kelvane_dir_list \"${CMAKE_BINARY_DIR}/install_new_dirs.txt\")" COMPONENT install_record)
install(CODE [[
    set(new_dirs)
    set(wanted)
    foreach(dir ${kelvane_install_dirs})
        if(NOT IS_ABSOLUTE "${dir}")
            set(dir "${CMAKE_INSTALL_PREFIX}/${dir}")
        endif()
        get_filename_component(dir "${dir}" ABSOLUTE)
        # This folder and those above it; new up to the first one that is there already.
        set(found FALSE)
        while(NOT dir STREQUAL "" AND NOT dir STREQUAL "/")
            list(APPEND wanted "${dir}")
            if(EXISTS "$ENV{DESTDIR}${dir}")
                set(found TRUE)
            endif()
            if(NOT found)
                list(APPEND new_dirs "${dir}")
            endif()
            get_filename_component(dir "${dir}" DIRECTORY)
        endwhile()
    endforeach()
    set(listed)
    if(EXISTS "${kelvane_dir_list}")
        file(STRINGS "${kelvane_dir_list}" listed)
        list(POP_FRONT listed destdir)
        if(NOT destdir STREQUAL "DESTDIR=$ENV{DESTDIR}")
            set(listed)
        endif()
    endif()
    foreach(dir ${listed})
        list(FIND wanted "${dir}" at)  # cmake_install.cmake runs without IN_LIST
        if(at GREATER -1 AND IS_DIRECTORY "$ENV{DESTDIR}${dir}")
            list(APPEND new_dirs "${dir}")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES new_dirs)
    list(SORT new_dirs)
    list(REVERSE new_dirs)
    list(PREPEND new_dirs "DESTDIR=$ENV{DESTDIR}")
    list(JOIN new_dirs "\n" text)
    file(WRITE "${kelvane_dir_list}" "${text}\n")
]] COMPONENT install_record)
