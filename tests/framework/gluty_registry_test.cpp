// The registry's start state and the abstractness of the application bases,
// without a display.
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

#include "framework/gluty_registry.h"

namespace {

using vorn::glutyAPI;
using vorn::glutyAPI4;
using vorn::glutyRegistry;

TEST(GlutyRegistry, existsFromStaticInitialisationWithItsStartValues) {
  glutyRegistry* registry = glutyRegistry::instance();
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(glutyRegistry::instance(), registry) << "not a single instance";
  EXPECT_TRUE(registry->windows.empty());
  EXPECT_TRUE(registry->idleEnabled);
  EXPECT_FALSE(registry->keyRepeat);
}

// An application that overrides nothing: every default must be callable and
// do nothing, and destruction must chain through both pure destructors.
class EmptyApp : public glutyAPI4 {
 public:
  ~EmptyApp() override { ++destroyed; }
  static inline int destroyed = 0;
};

TEST(GlutyApi, basesAreAbstractAndDefaultsAreEmpty) {
  static_assert(std::is_abstract_v<glutyAPI>);
  static_assert(std::is_abstract_v<glutyAPI4>);
  static_assert(std::has_virtual_destructor_v<glutyAPI>);
  {
    EmptyApp app;
    glutyAPI4& base = app;
    base.reshape(1, 2);
    base.display();
    base.keyboard('a', 3, 4);
    base.special(1, 3, 4);
    base.mouse(0, 0, 3, 4);
    base.motion(3, 4);
    base.passiveMotion(3, 4);
    base.idle();
    base.init();
    base.keyboardUp('a', 3, 4);
    base.specialUp(1, 3, 4);
    base.mouseWheel(0, 1, 3, 4);
  }
  std::unique_ptr<glutyAPI> viaBase = std::make_unique<EmptyApp>();
  viaBase.reset();  // destroyed through the base pointer
  EXPECT_EQ(EmptyApp::destroyed, 2);
}

}  // namespace
