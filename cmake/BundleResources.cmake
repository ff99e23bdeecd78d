# The bundle's Resources folder, made when Vellora is built: the images as drawn, PNG renderings
# of the icons at the sizes icon themes and trays ask for, and the acknowledgements typeset as
# the PDF the About window opens. Included from src/CMakeLists.txt, after the vellora target.

# The renderer is a build tool only: it is neither installed nor packaged.
add_executable(vellora_render ${PROJECT_SOURCE_DIR}/src/tools/render.cpp)
target_link_libraries(vellora_render PRIVATE Qt6::Gui vellora_warnings)

set(VELLORA_APP_ICON_SIZES 48 128 256 CACHE INTERNAL "Sizes of the AppIcon PNGs in the bundle")
set(_vellora_status_icon_sizes 22 44)
set(_vellora_res_in ${PROJECT_SOURCE_DIR}/resources)
set(_vellora_res_out ${VELLORA_BUNDLE_DIR}/Contents/Resources)
# No display is needed (nor used, when there is one): the offscreen platform has fonts and images.
set(_vellora_render ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    $<TARGET_FILE:vellora_render>)
set(_vellora_resources)
file(MAKE_DIRECTORY ${_vellora_res_out})

foreach(image StatusBarButtonImage options AppIcon)
  add_custom_command(OUTPUT ${_vellora_res_out}/${image}.svg
    COMMAND ${CMAKE_COMMAND} -E copy ${_vellora_res_in}/${image}.svg ${_vellora_res_out}/${image}.svg
    DEPENDS ${_vellora_res_in}/${image}.svg
    COMMENT "Copying ${image}.svg into the bundle" VERBATIM)
  list(APPEND _vellora_resources ${_vellora_res_out}/${image}.svg)
endforeach()

function(_vellora_render_icon image size)
  set(png ${_vellora_res_out}/${image}-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${_vellora_render} png ${_vellora_res_in}/${image}.svg ${size} ${png}
    DEPENDS vellora_render ${_vellora_res_in}/${image}.svg
    COMMENT "Rendering ${image}-${size}.png" VERBATIM)
  set(_vellora_resources ${_vellora_resources} ${png} PARENT_SCOPE)
endfunction()
foreach(size IN LISTS VELLORA_APP_ICON_SIZES)
  _vellora_render_icon(AppIcon ${size})
endforeach()
foreach(size IN LISTS _vellora_status_icon_sizes)
  _vellora_render_icon(StatusBarButtonImage ${size})
endforeach()

# The script KWin runs for Vellora on KDE Plasma, handed to KWin by its path in the bundle.
set(_vellora_kwin_script ${PROJECT_SOURCE_DIR}/src/platform/wayland/kwin/vellora-activation.js)
add_custom_command(OUTPUT ${_vellora_res_out}/vellora-activation.js
  COMMAND ${CMAKE_COMMAND} -E copy ${_vellora_kwin_script} ${_vellora_res_out}/vellora-activation.js
  DEPENDS ${_vellora_kwin_script}
  COMMENT "Copying the KWin script into the bundle" VERBATIM)
list(APPEND _vellora_resources ${_vellora_res_out}/vellora-activation.js)

add_custom_command(OUTPUT ${_vellora_res_out}/Acknowledgments.pdf
  COMMAND ${_vellora_render} pdf ${_vellora_res_in}/Acknowledgments.md
          ${_vellora_res_out}/Acknowledgments.pdf
  DEPENDS vellora_render ${_vellora_res_in}/Acknowledgments.md
  COMMENT "Typesetting Acknowledgments.pdf" VERBATIM)
list(APPEND _vellora_resources ${_vellora_res_out}/Acknowledgments.pdf)

add_custom_target(vellora_resources DEPENDS ${_vellora_resources})
add_dependencies(vellora vellora_resources) # building Vellora fills its Resources folder
