#include "qt_environment.h"

#include <gtest/gtest.h>

#include <memory>

#include "ui/qt/application.h"

namespace kv218::test {

namespace {

int argc = 1;
char name[] = "kv218tool-test";
char* argv[] = {name, nullptr};
std::unique_ptr<Application> app;

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<Application>(argc, argv);
  }
  void TearDown() override { app.reset(); }
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& App() { return *app; }

}  // namespace kv218::test
