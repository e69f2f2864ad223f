#pragma once
// One QApplication for every test of the executable, on the offscreen platform unless another
// one is asked for.

#include <QApplication>

namespace kv218::test {

// The running application (created before the first test).
QApplication& App();

}  // namespace kv218::test
