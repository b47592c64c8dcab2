// Fault injection and the call trace of the COM-style interfaces.
#include "platform/call_trace.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

struct Fault {
  std::string op;  // plain or qualified name
  int remaining;
  HRESULT result;
};

std::mutex g_mutex;
std::deque<Fault> g_faults;
std::atomic<bool> g_anyFault{false};
std::atomic<bool> g_tracing{false};
std::vector<plat::test::CallRecord> g_calls;

bool names(const std::string& faultOp, const char* iface, const char* op) {
  size_t sep = faultOp.find("::");
  if (sep == std::string::npos) return faultOp == op;
  return iface && faultOp.compare(0, sep, iface) == 0 && std::strlen(iface) == sep &&
         faultOp.compare(sep + 2, std::string::npos, op) == 0;
}

}  // namespace

namespace plat::detail {

bool injected(const char* iface, const char* op, HRESULT* result) {
  if (!g_anyFault.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> hold(g_mutex);
  for (auto it = g_faults.begin(); it != g_faults.end(); ++it) {
    if (!names(it->op, iface, op)) continue;
    *result = it->result;
    if (--it->remaining == 0) g_faults.erase(it);
    g_anyFault = !g_faults.empty();
    return true;
  }
  return false;
}

bool tracing() { return g_tracing.load(std::memory_order_acquire); }

void trace(plat::test::CallRecord record) {
  std::lock_guard<std::mutex> hold(g_mutex);
  if (g_tracing) g_calls.push_back(std::move(record));
}

}  // namespace plat::detail

namespace plat::test {

void failNext(const std::string& op, int count, HRESULT result) {
  std::lock_guard<std::mutex> hold(g_mutex);
  if (count <= 0) {
    std::erase_if(g_faults, [&](const Fault& f) { return f.op == op; });
  } else {
    g_faults.push_back({op, count, result});
  }
  g_anyFault = !g_faults.empty();
}

void clearFaults() {
  std::lock_guard<std::mutex> hold(g_mutex);
  g_faults.clear();
  g_anyFault = false;
}

void traceCalls(bool on) {
  std::lock_guard<std::mutex> hold(g_mutex);
  g_tracing = on;
  g_calls.clear();
}

std::vector<CallRecord> takeCalls() {
  std::lock_guard<std::mutex> hold(g_mutex);
  std::vector<CallRecord> out;
  out.swap(g_calls);
  return out;
}

}  // namespace plat::test
