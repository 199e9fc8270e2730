// The one QApplication of a widget benchmark, on the offscreen platform, made at first use
// (before any widget) and named after the benchmark's executable.
#pragma once

#include <QApplication>
#include <cerrno>

inline QApplication& offscreenApplication() {
  static int argc = 1;
  static char* argv[] = {program_invocation_short_name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}
