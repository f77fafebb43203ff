# ordalyn_qt_plugins(target): with a static Qt (the Windows build), puts the
# platform plugins into an executable: Qt's default one ("windows") comes by
# itself, the offscreen one (tests, and runs without a screen) is named here.
# A shared Qt loads its plugins at run time: nothing to do.
function(ordalyn_qt_plugins target)
  get_target_property(_qt_type Qt6::Core TYPE)
  if(_qt_type STREQUAL "STATIC_LIBRARY" AND TARGET Qt6::QOffscreenIntegrationPlugin)
    qt_import_plugins(${target} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
endfunction()
