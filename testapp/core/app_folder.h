// AppFolder: the folder of the running program (files such as "nftest.bmp" lie beside it).
#pragma once
#include <string>

namespace kelo::testapp {

// The program's full path cut before its last "/"; "." when the path cannot be read.
std::string AppFolder();

}  // namespace kelo::testapp
