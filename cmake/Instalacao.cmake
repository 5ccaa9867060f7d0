# What `cmake --install` puts where, the CMake package and pkg-config file hosts use, and the .deb.
include(CMakePackageConfigHelpers)

install(TARGETS kvCptConsistencia kvHost EXPORT kvCptConsistenciaAlvos
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The certification library is loaded by absolute path from the component library's own folder.
install(TARGETS CertificaTarvo LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_SKIP)
install(TARGETS kvconsistencia kvconsistencia-janela RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The Jet reader's program, started by path from the component library's folder.
install(TARGETS leitor-jet RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/kvconsistencia COMPONENT runtime)

# The public headers: what a host may include, and nothing that pulls in sqlite3.h.
set(KV_CABECALHOS_PUBLICOS
  platform/exporta.h platform/variant.h platform/erro.h platform/componentes.h platform/externos.h
  platform/interface_usuario.h platform/configuracao.h platform/certificacao.h platform/db/banco.h
  platform/db/sqlite_banco.h platform/db/esquema.h control/arvore.h control/resultado.h control/inconsistencias.h rules/frame/inconsistencias.h control/controle.h
  control/entrada.h key/chave.h checker/consistekv.h portfolio/carteira.h ui/kvctlconsistencia.h host/host.h host/exemplo.h)
foreach(h IN LISTS KV_CABECALHOS_PUBLICOS)
  get_filename_component(pasta ${h} DIRECTORY)
  install(FILES ${h} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kvconsistencia/${pasta})
endforeach()
install(FILES cmake/kvconsistencia.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kvconsistencia)

set(KV_PASTA_CMAKE ${CMAKE_INSTALL_LIBDIR}/cmake/kvCptConsistencia)
install(EXPORT kvCptConsistenciaAlvos NAMESPACE kv:: DESTINATION ${KV_PASTA_CMAKE})
configure_package_config_file(cmake/kvCptConsistenciaConfig.cmake.in
  ${CMAKE_BINARY_DIR}/kvCptConsistenciaConfig.cmake INSTALL_DESTINATION ${KV_PASTA_CMAKE})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kvCptConsistenciaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kvCptConsistenciaConfig.cmake
  ${CMAKE_BINARY_DIR}/kvCptConsistenciaConfigVersion.cmake DESTINATION ${KV_PASTA_CMAKE})

configure_file(cmake/kvcptconsistencia.pc.in ${CMAKE_BINARY_DIR}/kvcptconsistencia.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kvcptconsistencia.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The desktop program: its entry in the applications menu and its icon. The entry names the program by its
# installed path, written when the files are installed (the .deb installs under /usr, `cmake --install`
# where it is told), so it starts whether or not that folder is on the desktop session's PATH.
install(FILES cmake/kvconsistencia-janela.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(CODE "
  file(READ \"${CMAKE_SOURCE_DIR}/cmake/kvconsistencia-janela.desktop.in\" entrada)
  string(REPLACE \"@BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" entrada \"\${entrada}\")
  set(destino \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
  message(STATUS \"Installing: \${destino}/kvconsistencia-janela.desktop\")
  file(WRITE \"\${destino}/kvconsistencia-janela.desktop\" \"\${entrada}\")
")

install(FILES docs/kvconsistencia.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE docs/confiabilidade.md docs/decisoes.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# make pacote: a .deb whose dependencies dpkg-shlibdeps computes from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvcptconsistencia)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Equipe kvCptConsistencia <kvcptconsistencia@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Consistency checker for Tarvo regime declarations")
set(CPACK_PACKAGE_DESCRIPTION
  "Checks declarations of the Tarvo regime before transmission: the visible control for hosts,\n the headless checker, the kvconsistencia command-line tool and a desktop program for whole\n portfolios.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a Qt platform plugin; the command line does not.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-qpa-plugins)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
