#include "central/call_log.h"

#include <vector>

namespace zlv {

void CallLog::Note(const std::string& branch, const std::string& store, const std::string& method,
                   const std::optional<std::string>& failure, Clock::time_point now,
                   bool without_token) {
  ++totals_[{method, failure ? "failure" : "success"}];
  auto key = std::make_tuple(branch, store, method);
  auto found = waiting_.find(key);
  if (found == waiting_.end()) {
    if (waiting_.size() >= kMaxWaiting) return;
    found = waiting_.emplace(std::move(key), Calls{now, {}, {}, {}, false}).first;
  }
  Calls& calls = found->second;
  calls.last = now;
  calls.without_token = without_token;
  if (failure) {
    calls.failure = now;
    calls.failure_text = *failure;
  } else {
    calls.success = now;
  }
}

void CallLog::Write(HubStore& hub, Clock::time_point now) {
  if (waiting_.empty()) return;
  const auto age = [now](Clock::time_point at) {
    return std::chrono::duration<double>(now - at).count();
  };
  std::vector<StoreCall> calls;
  for (const auto& [key, noted] : waiting_) {
    StoreCall call{
        std::get<0>(key),   std::get<1>(key),   std::get<2>(key), age(noted.last), {}, {},
        noted.failure_text, noted.without_token};
    if (noted.success) call.success_age_s = age(*noted.success);
    if (noted.failure) call.failure_age_s = age(*noted.failure);
    calls.push_back(std::move(call));
  }
  HubTransaction transaction(hub);
  hub.RecordCalls(calls);
  transaction.Commit();
  waiting_.clear();
}

}  // namespace zlv
