# The program is built in layers, one static library each, and a layer links only the layers
# below it, so a call that runs back up does not link:
#
#   tolvar_framework                      components, description reader, controls, texts
#   tolvar_serial       -> framework      the port object and the platform's device
#   tolvar_portlist     -> serial         the port list control
#   tolvar_update       -> serial         payload and upload
#   tolvar_wizard       -> framework      the wizard frame
#   tolvar_app          -> all of them    the main form and the window path of the upload
#   tolvar_qt / tolvar_win32gui -> framework   the widget sets
#
# tests/layering/check-layers holds the same order for the includes.

# tolvar_layer(<target> [<layer below>...]): the layers a layer builds on, and its place in the
# list of layers that must link no GUI library.
function(tolvar_layer target)
  target_link_libraries(${target} PUBLIC ${ARGN})
  set_property(GLOBAL APPEND PROPERTY TOLVAR_CORE_LAYERS ${target})
endfunction()

# The core links no toolkit and no window-system GUI library; only the widget sets do.
function(tolvar_check_core_layers)
  get_property(layers GLOBAL PROPERTY TOLVAR_CORE_LAYERS)
  foreach(layer ${layers})
    get_target_property(libs ${layer} LINK_LIBRARIES)
    if(libs MATCHES "Qt6::|user32|gdi32|comctl32|uxtheme|shell32|oleacc|tolvar_qt|tolvar_win32gui")
      message(FATAL_ERROR "${layer} links a GUI library: ${libs}")
    endif()
  endforeach()
endfunction()
