// Event delivery: order, one callback at a time on the delivery thread, synchronous error
// events with their response, freeze and release, drop-errors after ClearOutput, and a
// clean stop that discards held events.
#include <gtest/gtest.h>

#include <atomic>

#include "service/event_delivery.h"
#include "service/tests/service_test_support.h"
#include "testing/wait.h"

namespace kelo::service::testing {
namespace {

class EventDeliveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = FakeControl::Make();
    delivery_.Start();
    ASSERT_EQ(delivery_.Bind(control_.Get()), 0);
  }
  void TearDown() override { delivery_.Stop(); }

  std::vector<int32_t> StatusValues() {
    std::vector<int32_t> values;
    for (const auto& c : control_->calls()) {
      if (c.name == "SOStatusUpdate") values.push_back(c.longs.at(0));
    }
    return values;
  }

  ComPtr<FakeControl> control_;
  EventDelivery delivery_;
};

TEST_F(EventDeliveryTest, QueuedEventsArriveInOrderOnOneOtherThread) {
  delivery_.RaiseStatusUpdate(1);
  delivery_.RaiseOutputComplete(7);
  delivery_.RaiseStatusUpdate(2);
  delivery_.RaiseDirectIO(9, 42, "data \x80");
  delivery_.RaiseStatusUpdate(3);
  ASSERT_TRUE(control_->WaitForCalls(5));
  auto calls = control_->calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].name, "SOStatusUpdate");
  EXPECT_EQ(calls[1].name, "SOOutputComplete");
  EXPECT_EQ(calls[1].longs, std::vector<int32_t>{7});
  EXPECT_EQ(calls[3].name, "SODirectIO");
  EXPECT_EQ(calls[3].longs, (std::vector<int32_t>{9, 42}));
  EXPECT_EQ(calls[3].text, "data \xE2\x82\xAC") << "texts reach the control object as UTF-8";
  EXPECT_EQ(StatusValues(), (std::vector<int32_t>{1, 2, 3}));
  for (const auto& c : calls) {
    EXPECT_EQ(c.thread, calls[0].thread) << "every callback comes from the delivery thread";
    EXPECT_NE(c.thread, std::this_thread::get_id());
  }
}

TEST_F(EventDeliveryTest, OnlyOneCallbackRunsAtATime) {
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  control_->on_call = [&](const FakeControl::Call&) {
    if (inside.fetch_add(1) != 0) ++overlaps;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    inside.fetch_sub(1);
  };
  std::thread raiser([&] {
    for (int i = 0; i < 5; ++i) delivery_.RaiseError(111, 0, 1, 12);
  });
  for (int i = 0; i < 20; ++i) delivery_.RaiseStatusUpdate(i);
  raiser.join();
  ASSERT_TRUE(control_->WaitForCalls(25));
  EXPECT_EQ(overlaps.load(), 0);
}

TEST_F(EventDeliveryTest, ErrorEventReturnsTheControlObjectsResponse) {
  control_->error_response = 11;
  EXPECT_EQ(delivery_.RaiseError(114, 207, 1, 12), 11);
  auto calls = control_->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "SOError");
  EXPECT_EQ(calls[0].longs, (std::vector<int32_t>{114, 207, 1, 12})) << "the preset goes out";
}

TEST_F(EventDeliveryTest, FrozenEventsAreHeldThenDeliveredInOrder) {
  delivery_.Freeze(true);
  delivery_.RaiseStatusUpdate(1);
  delivery_.RaiseStatusUpdate(2);
  std::atomic<bool> error_returned{false};
  std::thread raiser([&] {
    delivery_.RaiseError(111, 0, 1, 12);
    error_returned = true;
  });
  // The queue thread with the first status update and the error's raiser both wait.
  ASSERT_TRUE(kelo::testing::WaitFor([&] { return delivery_.held() == 2; }));
  EXPECT_TRUE(control_->calls().empty());
  EXPECT_FALSE(error_returned) << "an error raised while frozen blocks its raiser";
  delivery_.Freeze(false);
  raiser.join();
  ASSERT_TRUE(control_->WaitForCalls(3));
  EXPECT_EQ(StatusValues(), (std::vector<int32_t>{1, 2}));
}

TEST_F(EventDeliveryTest, FreezingTwiceAndReleasingOnceReleases) {
  delivery_.Freeze(true);
  delivery_.Freeze(true);
  delivery_.Freeze(false);
  delivery_.RaiseStatusUpdate(5);
  EXPECT_TRUE(control_->WaitForCalls(1));
}

TEST_F(EventDeliveryTest, ReleaseFromAnotherThreadIsHonoured) {
  delivery_.Freeze(true);
  delivery_.RaiseStatusUpdate(5);
  std::thread([&] { delivery_.Freeze(false); }).join();
  EXPECT_TRUE(control_->WaitForCalls(1));
}

TEST_F(EventDeliveryTest, ClearOutputWhileFrozenDropsErrorsUntilAnotherEventGoesThrough) {
  delivery_.Freeze(true);
  delivery_.MarkDropErrors();
  control_->error_response = 11;
  int32_t first = 0;
  std::thread raiser([&] { first = delivery_.RaiseError(111, 0, 1, 12); });
  ASSERT_TRUE(kelo::testing::WaitFor([&] { return delivery_.held() == 1; }));
  delivery_.Freeze(false);
  raiser.join();
  EXPECT_EQ(first, 12) << "the dropped event leaves the preset response";
  EXPECT_TRUE(control_->calls().empty());
  // The next non-error event goes through and ends the dropping.
  delivery_.RaiseStatusUpdate(1);
  ASSERT_TRUE(control_->WaitForCalls(1));
  EXPECT_EQ(delivery_.RaiseError(112, 0, 1, 12), 11);
  auto calls = control_->calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].name, "SOError");
  EXPECT_EQ(calls[1].longs.at(0), 112);
}

TEST_F(EventDeliveryTest, ClearOutputWhileNotFrozenChangesNothing) {
  delivery_.MarkDropErrors();
  control_->error_response = 11;
  EXPECT_EQ(delivery_.RaiseError(111, 0, 1, 12), 11);
}

TEST_F(EventDeliveryTest, StopWhileFrozenDiscardsHeldEventsAndFreesARaiser) {
  delivery_.Freeze(true);
  delivery_.RaiseStatusUpdate(1);
  int32_t response = 0;
  std::thread raiser([&] { response = delivery_.RaiseError(111, 0, 1, 12); });
  ASSERT_TRUE(kelo::testing::WaitFor([&] { return delivery_.held() == 2; }));
  delivery_.Stop();
  raiser.join();
  EXPECT_EQ(response, 12);
  EXPECT_TRUE(control_->calls().empty());
  EXPECT_FALSE(delivery_.running());
  // Started again it works as new: not frozen, no held events.
  delivery_.Start();
  delivery_.RaiseStatusUpdate(2);
  ASSERT_TRUE(control_->WaitForCalls(1));
  EXPECT_EQ(StatusValues(), std::vector<int32_t>{2});
}

TEST_F(EventDeliveryTest, CallbackMayFreezeRaiseAndStopWithoutDeadlock) {
  control_->on_call = [&](const FakeControl::Call& c) {
    if (c.name != "SOStatusUpdate") return;
    if (c.longs.at(0) == 1) {
      delivery_.Freeze(true);
      delivery_.Freeze(false);
      EXPECT_EQ(delivery_.RaiseError(1, 2, 3, 12), 12);
    } else if (c.longs.at(0) == 2) {
      delivery_.Stop();
    }
  };
  delivery_.RaiseStatusUpdate(1);
  delivery_.RaiseStatusUpdate(2);
  ASSERT_TRUE(control_->WaitForCalls(2));
  for (int i = 0; i < 500 && delivery_.running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_FALSE(delivery_.running());
}

TEST(EventDeliveryIdleTest, EventsRaisedWhileStoppedAreIgnoredAndErrorsDoNotWait) {
  auto control = FakeControl::Make();
  EventDelivery delivery;
  ASSERT_EQ(delivery.Bind(control.Get()), 0);
  delivery.RaiseStatusUpdate(1);
  EXPECT_EQ(delivery.RaiseError(111, 0, 1, 12), 12);
  delivery.Start();
  delivery.RaiseStatusUpdate(2);
  ASSERT_TRUE(control->WaitForCalls(1));
  EXPECT_EQ(control->calls().at(0).longs.at(0), 2);
}

TEST(EventDeliveryBindTest, MissingNameFailsTheBinding) {
  auto partial = FakeControl::Make({"SODirectIO", "SOError", "SOOutputComplete"});
  EventDelivery delivery;
  EXPECT_EQ(delivery.Bind(partial.Get()), opos::OPOS_E_FAILURE);
  EXPECT_EQ(delivery.Bind(nullptr), opos::OPOS_E_FAILURE);
}

// ---- Through the unit ----

class UnitEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace::ResetForTesting();
    registry_ = dir_.File("registry.reg");
    WriteDeviceKey(registry_,
                   {{"Port", RegValue::String(pty_.path())}, {"LogEnabled", RegValue::Dword(0)}});
    unit_ = ComPtr<TestUnit>(new TestUnit(registry_));
    control_ = FakeControl::Make();
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
    ASSERT_EQ(unit_->ClaimDevice(0), 0);
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  }
  void TearDown() override { unit_.Reset(); }

  TempDir dir_;
  Pty pty_;
  std::string registry_;
  ComPtr<TestUnit> unit_;
  ComPtr<FakeControl> control_;
};

TEST_F(UnitEventsTest, FlagWhenIdleWhileIdleQueuesOneIdleEventAndReadsZero) {
  unit_->SetPropertyNumber(opos::PIDX_FlagWhenIdle, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_FlagWhenIdle), 0);
  ASSERT_TRUE(control_->WaitForCalls(1));
  auto calls = control_->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "SOStatusUpdate");
  EXPECT_EQ(calls[0].longs.at(0), opos::FPTR_SUE_IDLE);
}

TEST_F(UnitEventsTest, FlagWhenIdleWhileBusyIsOnlyStored) {
  unit_->SetState(opos::OPOS_S_BUSY);
  unit_->SetPropertyNumber(opos::PIDX_FlagWhenIdle, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_FlagWhenIdle), 1);
  // Events arrive in order: an idle event would come before this one.
  unit_->RaiseStatusUpdate(99);
  ASSERT_TRUE(control_->WaitForCalls(1));
  auto calls = control_->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].longs.at(0), 99);
}

TEST_F(UnitEventsTest, FreezeEventsPropertyStartsAtOneButDeliveryIsNotFrozen) {
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_FreezeEvents), 1);
  unit_->RaiseStatusUpdate(3);
  EXPECT_TRUE(control_->WaitForCalls(1));
}

TEST_F(UnitEventsTest, ClearOutputWhileFrozenDropsTheNextErrorEvent) {
  ASSERT_EQ(unit_->COFreezeEvents(true), 0);
  ASSERT_EQ(unit_->ClearOutput(), 0);
  EXPECT_EQ(unit_->queue_clears, 1);
  int32_t response = 0;
  std::thread worker([&] { response = unit_->RaiseError(111, 0, 1, 12); });
  ASSERT_TRUE(kelo::testing::WaitFor([&] { return unit_->events().held() == 1; }));
  ASSERT_EQ(unit_->COFreezeEvents(false), 0);
  worker.join();
  EXPECT_EQ(response, 12);
  unit_->RaiseOutputComplete(4);
  ASSERT_TRUE(control_->WaitForCalls(1));
  EXPECT_EQ(control_->calls().at(0).name, "SOOutputComplete");
}

TEST_F(UnitEventsTest, CloseWhileFrozenEndsDeliveryWithoutHeldEvents) {
  unit_->SetPropertyNumber(opos::PIDX_FreezeEvents, 1);
  unit_->RaiseStatusUpdate(1);
  unit_->RaiseStatusUpdate(2);
  EXPECT_EQ(unit_->CloseService(), 0);
  EXPECT_FALSE(unit_->events().running());
  // Both delivery threads are joined: nothing held can arrive later.
  EXPECT_TRUE(control_->calls().empty());
}

TEST_F(UnitEventsTest, CloseFromInsideACallbackDoesNotDeadlock) {
  std::atomic<int32_t> close_result{-1};
  control_->on_call = [&](const FakeControl::Call&) { close_result = unit_->CloseService(); };
  unit_->RaiseStatusUpdate(1);
  ASSERT_TRUE(control_->WaitForCalls(1));
  EXPECT_EQ(close_result.load(), 0);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_CLOSED);
}

}  // namespace
}  // namespace kelo::service::testing
