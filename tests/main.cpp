#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "host/host.h"

int main(int argc, char** argv) {
  // Each test process gets its own settings and cache folders: the user's are never touched.
  static QTemporaryDir pasta;
  setenv("XDG_CONFIG_HOME", (pasta.path() + "/config").toUtf8().constData(), 1);
  setenv("XDG_CACHE_HOME", (pasta.path() + "/cache").toUtf8().constData(), 1);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kv::host::RegistraComponentes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
