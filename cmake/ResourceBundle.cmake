# The library's resource bundle "Kelvadorium_NegativeCore.bundle": the folders Frames and Models
# of NegativeCore/Resources. Every executable that uses the library gets a copy of the bundle
# beside it in the build tree (kv_resource_bundle_beside); installing puts it under
# share/kelvadorium/, where the library looks for it beside the installed bin folder.
include(GNUInstallDirs)

set(KV_RESOURCE_ROOT ${PROJECT_SOURCE_DIR}/NegativeCore/Resources)
set(KV_BUNDLE_NAME Kelvadorium_NegativeCore.bundle)
set(KV_BUNDLE_FOLDERS Frames Models)
# Where the installed bundle's folder lies seen from the installed program's folder; the
# library's lookup is compiled with it.
file(RELATIVE_PATH KV_INSTALLED_RESOURCES ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/kelvadorium)

set(KV_BUNDLE_FILES)
foreach(folder ${KV_BUNDLE_FOLDERS})
  file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE ${KV_RESOURCE_ROOT} ${KV_RESOURCE_ROOT}/${folder}/*)
  foreach(file ${files})
    get_filename_component(name ${file} NAME)
    if(NOT name MATCHES "^\\.")
      list(APPEND KV_BUNDLE_FILES ${file})
    endif()
  endforeach()
endforeach()

# One copy per output folder, shared by every executable in it: a target that keeps the
# bundle's files up to date there, which each executable depends on.
function(kv_resource_bundle_beside target)
  get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT folder)
    get_target_property(folder ${target} BINARY_DIR)
  endif()
  string(MD5 key ${folder})
  set(bundle_target kv_bundle_${key})
  if(NOT TARGET ${bundle_target})
    set(outputs)
    foreach(file ${KV_BUNDLE_FILES})
      set(output ${folder}/${KV_BUNDLE_NAME}/${file})
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KV_RESOURCE_ROOT}/${file} ${output}
        DEPENDS ${KV_RESOURCE_ROOT}/${file}
        VERBATIM)
      list(APPEND outputs ${output})
    endforeach()
    # The folders themselves, so that one still empty is there too.
    set(folders)
    foreach(sub ${KV_BUNDLE_FOLDERS})
      list(APPEND folders ${folder}/${KV_BUNDLE_NAME}/${sub})
    endforeach()
    add_custom_command(OUTPUT ${folders}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folders}
      VERBATIM)
    list(APPEND outputs ${folders})
    add_custom_target(${bundle_target} DEPENDS ${outputs})
  endif()
  add_dependencies(${target} ${bundle_target})
endfunction()

foreach(folder ${KV_BUNDLE_FOLDERS})
  install(DIRECTORY ${KV_RESOURCE_ROOT}/${folder}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvadorium/${KV_BUNDLE_NAME}
    PATTERN ".*" EXCLUDE)
endforeach()
