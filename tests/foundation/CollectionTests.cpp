#include <gtest/gtest.h>

#include <climits>

#include "Foundation/NSArray.h"
#include "Foundation/NSString.h"
#include "Foundation/RunLoop.h"
#include "TestSupport.h"

using namespace ns;

TEST(Collections, DescriptionsPrintAsTheLogShowsThem) {
  auto array =
      NSArray::arrayWithObjects({NSString::make("3:120"), NSString::make("Ab"),
                                 NSNumber::numberWithInt(7), NSNumber::numberWithDouble(0.5)});
  EXPECT_EQ(describe(array), "(\n    \"3:120\",\n    Ab,\n    7,\n    0.5\n)");
  EXPECT_EQ(describe(nullptr), "(null)");
  EXPECT_EQ(describe(NSArray::arrayWithObjects({})), "(\n)");
  EXPECT_EQ(array->objectAtIndex(9), nullptr);
  EXPECT_EQ(NSNumber::numberWithDouble(1e12)->intValue(), INT_MAX);
}

namespace {
class Receiver : public objc::Object {
  OBJC_CLASS(Receiver)
 public:
  objc::Ref<objc::Object> got;
  double at = 0;
};
void setupReceiver(objc::Class* cls) {
  cls->addMethod(
      objc::sel_registerName("take:"),
      [](objc::id self, objc::SEL, objc::id arg) -> objc::id {
        static_cast<Receiver*>(self)->got = arg;
        static_cast<Receiver*>(self)->at = RunLoop::main().now();
        return nullptr;
      },
      "v@:@");
}
}  // namespace
OBJC_CLASS_IMPL(Receiver, objc::Object, setupReceiver)

TEST(Collections, DelayedPerformKeepsTargetAndArgumentAlive) {
  testsupport::VirtualClock clock;
  double start = RunLoop::main().now();
  objc::Weak<Receiver> weak;
  {
    auto receiver = objc::make<Receiver>();
    weak = receiver.get();
    performSelectorAfterDelay(receiver, objc::sel_registerName("take:"), NSString::make("x"), 0.5);
  }
  ASSERT_TRUE(weak);  // held by the pending call
  clock.advance(0.4);
  EXPECT_FALSE(weak->got);
  objc::Ref<Receiver> receiver(weak.get());
  clock.advance(0.1);
  ASSERT_TRUE(receiver->got);
  EXPECT_EQ(*stringValue(receiver->got), "x");
  EXPECT_NEAR(receiver->at - start, 0.5, 1e-6);
}
