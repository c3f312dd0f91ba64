// A stand-in service object for the control object's tests: answers the 80 service methods by
// name, keeps a property store, records every call, lets a test preset the next result and
// raises events on the control object's callbacks. Built both into a component library
// (libkelo_fake_so.so, created through the real loader) and directly into test programs.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"

namespace kelo::control::testing {

// Everything a test can see and steer. One per library copy (see KeloFakeServiceState).
struct FakeServiceState {
  // Guards every field below. Not held while the control object is called back.
  std::mutex mutex;
  // "name(arg, arg, ...)" per call, in order; currency as its raw value.
  std::vector<std::string> calls;
  // Applied to the next method other than the property accessors, then reset to success.
  int32_t next_result = 0;
  int32_t next_extended = 0;
  std::string next_error;
  // Results by method name (as in the service table) for every call of that method, used
  // when no next_result is pending.
  std::map<std::string, int32_t> results_by_method;
  // Result of OpenService.
  int32_t open_service_result = 0;
  // Property store by OPOS index.
  std::map<int32_t, int32_t> numbers;
  std::map<int32_t, std::string> strings;
  // The control object's callback interface and what OpenService resolved on it.
  automation::ComPtr<automation::IDispatch> control;
  automation::DispId callback_ids[5] = {-1, -1, -1, -1, -1};
  int32_t control_object_version = 0;
  int live_instances = 0;

  void Reset();
  std::vector<std::string> TakeCalls();

  // Event raisers: call the control object's callbacks on the calling thread.
  void RaiseStatusUpdate(int32_t data);
  void RaiseOutputComplete(int32_t output_id);
  // Returns the response the control object gave back (preset if nothing answered).
  int32_t RaiseError(int32_t code, int32_t extended, int32_t locus, int32_t preset);
  void RaiseDirectIO(int32_t number, int32_t* data, std::string* text);
};

// Creates a fake service object (one reference, owned by the caller) bound to `state`.
automation::IDispatch* NewFakeService(std::shared_ptr<FakeServiceState> state);

}  // namespace kelo::control::testing

// Exported by the component library so that a test can reach the state of that copy.
extern "C" kelo::control::testing::FakeServiceState* KeloFakeServiceState();
