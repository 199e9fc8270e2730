// The model's tests run inside a QCoreApplication: renderers hand their results to its thread,
// and the virtual clock turns its event loop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
