// KeloFPUTest built without windows: the headless runner only.
#include <iostream>

#include "testapp/headless/headless_runner.h"

int main(int argc, char** argv) {
  const int status = kelo::testapp::HeadlessMain(argc, argv);
  if (status >= 0) return status;
  std::cerr << "This KeloFPUTest was built without windows.\n" << kelo::testapp::HeadlessUsage();
  return 2;
}
