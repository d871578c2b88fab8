# Build-host programs that a cross build needs: the image checker of the payload, the packer of
# the pictures and the controller simulator that the Wine tests talk to. They are built from this
# same source tree with the host's compiler, in <build>/host, on every build (cheap when nothing
# changed).
include(ExternalProject)
set(TOLVAR_HOST_BIN ${CMAKE_BINARY_DIR}/host/bin)
set(TOLVAR_HOST_EMBED ${TOLVAR_HOST_BIN}/tolvar-embed-payload)
set(TOLVAR_HOST_SIM ${TOLVAR_HOST_BIN}/tolvar-sim)
set(TOLVAR_HOST_PACK ${TOLVAR_HOST_BIN}/tolvar-pack-picture)
if(NOT TARGET tolvar_host_tools)
  ExternalProject_Add(tolvar_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/host
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DTOLVAR_GUI=OFF -DTOLVAR_TESTS=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target tolvar-embed-payload tolvar-sim
                  tolvar-pack-picture
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${TOLVAR_HOST_EMBED} ${TOLVAR_HOST_SIM} ${TOLVAR_HOST_PACK})
endif()
