#pragma once
// A host talking to a ModuleModel on a hand-driven clock.
#include "simulator/module_model.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace osc::sim::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

struct ModelHost {
  explicit ModelHost(ModuleType type, double pace = 0) : model(type) { model.set_pace(pace); }

  void send(std::initializer_list<std::uint8_t> bytes) { send(Bytes(bytes)); }
  void send(const Bytes& bytes) { model.receive(bytes, baud, now); }
  // Everything due by `now`, at most `max` module bytes.
  Bytes take(std::size_t max = 4096) {
    Bytes out;
    model.transmit(out, max, baud, now);
    return out;
  }
  Bytes exchange(std::initializer_list<std::uint8_t> request, std::size_t max = 4096) {
    send(request);
    return take(max);
  }
  void advance(SimTime d) { now += d; }

  ModuleModel model;
  SimTime now = 1s;
  DWORD baud = kFastBaud;
};

}  // namespace osc::sim::test
