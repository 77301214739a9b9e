# The demo's run folder under ${CMAKE_BINARY_DIR}/demo, made from the readable sources in data/:
# the data files the program reads encrypted become demo/input/<name>.enc, and data/demo/ is
# copied over as it is. Rules are made only for the sources that exist.

# data/*.xml files that the program reads as input/<name>.enc.
set(TRELVO_ENCRYPTED_DATA
  dbase.xml
  AIG-regcodes.xml
  airports.xml
)

set(TRELVO_DEMO_DIR ${CMAKE_BINARY_DIR}/demo)
set(TRELVO_DEMO_OUTPUTS "")

if(TARGET trelvo_encrypt)
  foreach(data_name ${TRELVO_ENCRYPTED_DATA})
    set(data_src ${CMAKE_SOURCE_DIR}/data/${data_name})
    if(NOT EXISTS ${data_src})
      continue()
    endif()
    get_filename_component(data_stem ${data_name} NAME_WE)
    set(data_enc ${TRELVO_DEMO_DIR}/input/${data_stem}.enc)
    add_custom_command(OUTPUT ${data_enc}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TRELVO_DEMO_DIR}/input
      COMMAND trelvo_encrypt ${data_src} ${data_enc}
      DEPENDS ${data_src} trelvo_encrypt
      COMMENT "Encrypting data/${data_name}"
      VERBATIM)
    list(APPEND TRELVO_DEMO_OUTPUTS ${data_enc})
  endforeach()
endif()

# data/ files the program reads as they are, each with its place in the run folder.
# (none today: the demo's LiveriesScanned.xml is written by its livery scan)
set(TRELVO_PLAIN_DATA
)
foreach(entry ${TRELVO_PLAIN_DATA})
  string(REPLACE "=" ";" parts ${entry})
  list(GET parts 0 data_name)
  list(GET parts 1 data_place)
  set(data_src ${CMAKE_SOURCE_DIR}/data/${data_name})
  if(NOT EXISTS ${data_src})
    continue()
  endif()
  add_custom_command(OUTPUT ${TRELVO_DEMO_DIR}/${data_place}
    COMMAND ${CMAKE_COMMAND} -E copy ${data_src} ${TRELVO_DEMO_DIR}/${data_place}
    DEPENDS ${data_src}
    VERBATIM)
  list(APPEND TRELVO_DEMO_OUTPUTS ${TRELVO_DEMO_DIR}/${data_place})
endforeach()

if(EXISTS ${CMAKE_SOURCE_DIR}/data/demo)
  file(GLOB_RECURSE demo_files CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/data/demo
    ${CMAKE_SOURCE_DIR}/data/demo/*)
  foreach(demo_file ${demo_files})
    add_custom_command(OUTPUT ${TRELVO_DEMO_DIR}/${demo_file}
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/demo/${demo_file} ${TRELVO_DEMO_DIR}/${demo_file}
      DEPENDS ${CMAKE_SOURCE_DIR}/data/demo/${demo_file}
      VERBATIM)
    list(APPEND TRELVO_DEMO_OUTPUTS ${TRELVO_DEMO_DIR}/${demo_file})
  endforeach()
endif()

# The demo's scenery files, made from data/scenery.json: the add-ons on drive D (drives/D) and
# a stock airport in the simulator's own scenery folder (simulator/Scenery).
if(TARGET trelvo_make_bgl AND EXISTS ${CMAKE_SOURCE_DIR}/data/scenery.json)
  set(scenery_stamp ${CMAKE_BINARY_DIR}/scenery.stamp)
  add_custom_command(OUTPUT ${scenery_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TRELVO_DEMO_DIR}/drives/D/Addons ${TRELVO_DEMO_DIR}/simulator/Scenery
    COMMAND trelvo_make_bgl ${CMAKE_SOURCE_DIR}/data/scenery.json ${TRELVO_DEMO_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${scenery_stamp}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/scenery.json trelvo_make_bgl
    COMMENT "Making the demo's add-on scenery"
    VERBATIM)
  list(APPEND TRELVO_DEMO_OUTPUTS ${scenery_stamp})
endif()

add_custom_target(demo_data ALL DEPENDS ${TRELVO_DEMO_OUTPUTS})
