// Faults that make the printer do a command twice today. These cases fail until the layer
// named in each is changed; they are built as fault_defect_tests and registered disabled, so
// the suite stays green while they are open. Run ./fault_defect_tests to see them.
#include "tests/faults/device_rig.h"

namespace kelo::faults {
namespace {

// A queued sale whose three answers are all lost fails with "no answer" although the printer
// sold the item. The application answers the ErrorEvent with retry, and the execution layer
// runs the same device operation again -- a new command with a new job number -- so the
// printer sells the item a second time. A retry must first find out whether the failed
// command was done (for a receipt line: the receipt's amount before and after) instead of
// sending it blind.
TEST(DeviceDefects, RetryAfterLostAnswersMustNotSellTheItemTwice) {
  DeviceRig rig("retry");
  rig.StartPrinter();
  rig.Claim();
  rig.SetAsync(true);
  rig.Queue(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"}));
  ASSERT_TRUE(WaitFor([&] { return rig.host().completed().size() == 1; }));
  rig.host().QueueErrorResponse(device::opos::OPOS_ER_RETRY);
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(3); });
  rig.Queue(&DeviceOperations::DoPrintRecItem, Fields({"ITEM-A", "250", "1000", "1", "0", ""}));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  EXPECT_EQ(rig.host().errors().size(), 1u);
  EXPECT_EQ(OpenReceiptLinesStartingWith(rig.sim(), "ITEM-A"), 1)
      << "the printer sold ITEM-A " << OpenReceiptLinesStartingWith(rig.sim(), "ITEM-A")
      << " times after one retry";
}

}  // namespace
}  // namespace kelo::faults
