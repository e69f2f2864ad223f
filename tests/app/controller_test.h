#pragma once
// The controller's tests: a controller on the simulated programmer in-process, on virtual
// time (testkit/controller_fixture.h).

#include <gtest/gtest.h>

#include "testkit/controller_fixture.h"

namespace kv218 {

class ControllerTest : public ::testing::Test, public testing::ControllerFixture {};

}  // namespace kv218
