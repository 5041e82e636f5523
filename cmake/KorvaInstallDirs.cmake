# The install layout (Debian's with CMAKE_INSTALL_PREFIX=/usr): programs in bin, the WiFi plugin
# folder under the multiarch library folder, data under share. The programs find the plugin
# relative to their own place, so the layout is fixed here at configure time.
include(GNUInstallDirs)
set(KORVA_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/korvaset)
set(KORVA_INSTALL_FULL_PLUGINDIR ${CMAKE_INSTALL_FULL_LIBDIR}/korvaset)
