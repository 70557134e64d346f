#pragma once
// A graph view on a fake window with a data container of a fixed number of graphs.
#include <gtest/gtest.h>

#include "graph/graph_data.h"
#include "graph/view.h"
#include "support/fake_view_host.h"

namespace osc::test {

class ViewFixture : public ::testing::Test {
 protected:
  explicit ViewFixture(TSize size = TSize{400, 300}) : host(size) {}

  // A manual number of graphs, every axis with a fixed range: X 0..100, Y 0..10.
  void UseGraphs(std::uint32_t n) {
    data.SetAutoNumGraphs(false);
    data.SetNumGraphs(n);
    view.SetGraphData(&data);
    for (int i = 0; i < view.AxisCount(); ++i) {
      FixAxis(*view.XAxis(i), 0, 100);
      FixAxis(*view.YAxis(i), 0, 10);
    }
  }

  static void FixAxis(TAxis& a, double lo, double hi) {
    a.SetAutoMinMax(false);
    a.SetMinMax(lo, hi);
    a.SetRange(lo, hi);
  }

  TRect Client() const { return TRect{0, 0, host.size.cx, host.size.cy}; }

  FakeHost host;
  TVelaGraphData data;
  TVelaGraph view{host};
};

}  // namespace osc::test
