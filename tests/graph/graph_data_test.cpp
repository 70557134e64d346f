#include "graph/graph_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "graph/graph_data_view.h"
#include "graph/series.h"
#include "printers.h"

using namespace osc;
using ::testing::ElementsAre;

namespace {

constexpr double kBig = 1.7E308;

// A graph data view that writes down what its container tells it, one word per call:
// "count N", "x G", "y G", "image", "paint", "gone"; axis updates also note how many
// series the container then has in that graph: "x 1 (2)".
class RecordingView : public TGraphDataView {
 public:
  explicit RecordingView(TVelaGraphData* data = nullptr) : data_(data) {}

  void SetGraphCount(std::uint32_t n) override { calls.push_back("count " + std::to_string(n)); }
  void UpdateXAxis(std::uint32_t g) override { calls.push_back("x " + Graph(g)); }
  void UpdateYAxis(std::uint32_t g) override { calls.push_back("y " + Graph(g)); }
  void InvalidateImage() override { calls.push_back("image"); }
  void Invalidate() override { calls.push_back("paint"); }
  void GraphDataDestroyed(TVelaGraphData&) override {
    calls.push_back("gone");
    data_ = nullptr;
  }

  std::vector<std::string> Take() {
    std::vector<std::string> result;
    result.swap(calls);
    return result;
  }

  std::vector<std::string> calls;

 private:
  std::string Graph(std::uint32_t g) const {
    std::string text = std::to_string(g);
    if (data_ != nullptr) {
      int n = 0;
      for (int i = 0; i < data_->SeriesCount(); ++i)
        n += data_->Series(i)->GraphNumber() == g ? 1 : 0;
      text += " (" + std::to_string(n) + ")";
    }
    return text;
  }

  TVelaGraphData* data_;
};

// A series whose values come from a vector; counts its destruction.
class VectorSeries : public TBaseEquiDistantSeries {
 public:
  explicit VectorSeries(std::vector<double> values, std::uint32_t graph = 1, int* destroyed = nullptr)
      : values_(std::move(values)), destroyed_(destroyed) {
    SetGraphNumber(graph);
    SetCount(static_cast<std::uint32_t>(values_.size()));
    OnGetValue = [this](TVelaSeries&, int i, double& v) { v = values_.at(static_cast<std::size_t>(i)); };
  }
  ~VectorSeries() override {
    if (destroyed_ != nullptr) ++*destroyed_;
  }

 private:
  std::vector<double> values_;
  int* destroyed_;
};

using Range = std::pair<double, double>;

class GraphDataTest : public ::testing::Test {
 protected:
  GraphDataTest() { data.AddView(&view); }
  ~GraphDataTest() override { data.RemoveView(&view); }
  Range X(std::uint32_t g) {
    Range r;
    data.GetXRange(g, r.first, r.second);
    return r;
  }
  Range Y(std::uint32_t g) {
    Range r;
    data.GetYRange(g, r.first, r.second);
    return r;
  }

  TVelaGraphData data;
  RecordingView view{&data};
};

}  // namespace

TEST_F(GraphDataTest, ExtentsOfEmptyOneSampleConstantGappedAndFixedGraphs) {
  EXPECT_EQ(X(1), Range(-1, 1));  // a graph without series
  EXPECT_EQ(Y(1), Range(-1, 1));

  VectorSeries one({4.0}, 1);
  one.SetXStart(10);
  VectorSeries flat({2.5, 2.5, 2.5}, 2);
  VectorSeries empty({}, 3);
  empty.SetXStart(7);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  VectorSeries gaps({nan, 2, inf, -3, -inf, nan}, 5);
  VectorSeries a({1, 5, 3}, 6), b({-2, 0}, 6);  // combined, b with fixed ranges
  a.SetXStart(2);
  a.SetXStep(0.5);
  b.SetAutoXMinMax(false);
  b.SetXMin(-4);
  b.SetXMax(3);
  b.SetAutoYMinMax(false);
  b.SetYMin(-1);
  b.SetYMax(9);
  for (TVelaSeries* s : std::initializer_list<TVelaSeries*>{&one, &flat, &empty, &gaps, &a, &b})
    data.AddSeries(s);

  EXPECT_EQ(X(1), Range(10, 11));  // widened to the right only
  EXPECT_EQ(Y(1), Range(3, 5));    // widened on both sides
  EXPECT_EQ(X(2), Range(0, 2));
  EXPECT_EQ(Y(2), Range(1.5, 3.5));
  EXPECT_EQ(X(3), Range(7, 8));
  EXPECT_EQ(Y(3), Range(kBig, kBig));  // zero width: the axis keeps its range
  EXPECT_EQ(Y(5), Range(-3, 2));       // numbers that are not values stay out
  EXPECT_EQ(X(6), Range(-4, 3));
  EXPECT_EQ(Y(6), Range(-1, 9));
  data.Clear();
}

TEST_F(GraphDataTest, NumGraphsFollowsTheHighestGraphNumber) {
  int destroyed = 0;
  data.SetAutoDestroySeries(true);
  data.AddSeries(new VectorSeries({1}, 1, &destroyed));
  auto* third = new VectorSeries({1}, 3, &destroyed);
  view.Take();
  data.AddSeries(third);
  EXPECT_EQ(data.NumGraphs(), 3u);
  EXPECT_THAT(view.Take(), ElementsAre("count 3", "x 3 (1)", "y 3 (1)", "image", "paint"));
  data.SetNumGraphs(7);  // ignored while automatic
  delete third;          // destroyed by its owner: it leaves the container
  EXPECT_EQ(data.SeriesCount(), 1);
  EXPECT_THAT(view.Take(), ElementsAre("count 1", "x 3 (0)", "y 3 (0)", "image", "paint"));
  data.Clear();
  EXPECT_EQ(destroyed, 2);
  EXPECT_THAT(view.Take(), ElementsAre("count 0", "image", "paint"));
}

// What a write to a series tells the views; a moved series updates its old graph while
// it still counts there, and no axis update reaches a view for graph 0.
TEST_F(GraphDataTest, SeriesWritesNotifyAsDocumented) {
  VectorSeries s({1}, 2);
  s.SetXStep(3);  // not in a container yet: nobody to tell
  data.AddSeries(&s);
  view.Take();
  struct Case {
    const char* name;
    std::function<void()> write;
    std::vector<std::string> expected;
  };
  const std::vector<std::string> none;
  const std::vector<std::string> repaint{"image", "paint"};
  const Case cases[] = {
      {"XStep changed", [&] { s.SetXStep(0.25); }, repaint},
      {"Title, even unchanged", [&] { s.SetTitle(""); }, repaint},
      {"YMax changed", [&] { s.SetYMax(4); }, {"y 2 (1)"}},
      {"AutoXMinMax changed", [&] { s.SetAutoXMinMax(false); }, {"x 2 (1)"}},
      {"AutoXMinMax unchanged", [&] { s.SetAutoXMinMax(false); }, none},
      {"moved",
       [&] { s.SetGraphNumber(3); },
       {"x 2 (1)", "y 2 (1)", "count 3", "x 3 (1)", "y 3 (1)", "image", "paint"}},
      {"not moved", [&] { s.SetGraphNumber(3); }, none},
      {"to no graph", [&] { s.SetGraphNumber(0); }, {"x 3 (1)", "y 3 (1)", "count 0", "image", "paint"}},
  };
  for (const Case& c : cases) {
    c.write();
    EXPECT_EQ(view.Take(), c.expected) << c.name;
  }
  data.Clear();
}

TEST_F(GraphDataTest, FindNearestPrefersTheNearerAndOnATieTheEarlier) {
  // 101 pixels wide for 0..10: one value unit is 10 pixels both ways.
  const TRect pixels{0, 0, 100, 100};
  const TDoubleRect values{0, 0, 10, 10};
  VectorSeries low({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}, 1);
  VectorSeries high({8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 1);
  VectorSeries other({5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}, 2);
  data.AddSeries(&low);
  data.AddSeries(&high);
  data.AddSeries(&other);

  TPoint pos{33, 25};  // nearer to `high` (y 20) than to `low` (y 80)
  TDoublePoint sample;
  EXPECT_EQ(data.FindNearest(1, pixels, values, pos, sample), &high);
  EXPECT_EQ(pos, (TPoint{30, 20}));
  EXPECT_EQ(sample, (TDoublePoint{3, 8}));

  pos = TPoint{47, 50};  // equally far from both
  EXPECT_EQ(data.FindNearest(1, pixels, values, pos, sample), &low);
  EXPECT_EQ(pos, (TPoint{50, 80}));
  data.Clear();

  VectorSeries gap({1, std::numeric_limits<double>::quiet_NaN(), 1}, 1);
  data.AddSeries(&gap);
  pos = TPoint{50, 0};
  EXPECT_EQ(data.FindNearest(1, pixels, TDoubleRect{0, 0, 2, 2}, pos, sample), nullptr) << "a missing value";
  data.Clear();
}

TEST(EquiDistantSeries, SampleAtOutsideTheDataGivesTheOrigin) {
  VectorSeries s({10, 11, 12});
  s.SetXStart(100);
  s.SetXStep(2);
  EXPECT_EQ(s.SampleAt({101, 55}), (TDoublePoint{100, 10}));  // halves round to even
  EXPECT_EQ(s.SampleAt({103, 55}), (TDoublePoint{104, 12}));
  EXPECT_EQ(s.SampleAt({105.1, 55}), (TDoublePoint{0, 0}));   // rounds to index Count
  EXPECT_EQ(s.SampleAt({98.9, 55}), (TDoublePoint{0, 0}));    // rounds to -1
  EXPECT_EQ(s.SampleAt({-1e300, 55}), (TDoublePoint{0, 0}));  // far beyond any integer
  EXPECT_EQ(s.SampleAt({std::numeric_limits<double>::quiet_NaN(), 55}), (TDoublePoint{0, 0}));
}

TEST(EquiDistantSeries, SnapToSampleLeavesEverythingUntouchedOutsideTheData) {
  VectorSeries s({0, 5, 10});  // X 0, 1, 2
  const TRect pixels{10, 10, 110, 110};
  const TDoubleRect values{0, 0, 2, 10};
  TPoint pixel{95, 40};
  TDoublePoint sample{-1, -1};
  ASSERT_TRUE(s.SnapToSample(pixels, values, pixel, sample));
  EXPECT_EQ(pixel, (TPoint{110, 10}));
  EXPECT_EQ(sample, (TDoublePoint{2, 10}));

  // Index 3 (= Count), far away on the screen, and a window a record days away shows.
  struct Away {
    int x;
    TDoubleRect window;
  };
  for (const Away& a :
       {Away{136, values}, Away{-2000000000, values}, Away{50, TDoubleRect{-1e10, 0, -1e10 + 2, 10}}}) {
    pixel = TPoint{a.x, 40};
    sample = TDoublePoint{-1, -1};
    EXPECT_FALSE(s.SnapToSample(pixels, a.window, pixel, sample)) << a.x;
    EXPECT_EQ(pixel, (TPoint{a.x, 40}));
    EXPECT_EQ(sample, (TDoublePoint{-1, -1}));
  }
}

TEST(GraphDataLifetime, AContainerDestroyedFirstTellsItsViewsAndFreesOwnedSeries) {
  int destroyed = 0;
  RecordingView first, second;
  auto data = std::make_unique<TVelaGraphData>();
  data->AddView(&first);
  data->AddView(&second);
  data->AddView(&first);  // a view is attached once only
  data->SetAutoDestroySeries(true);
  data->AddSeries(new VectorSeries({1}, 1, &destroyed));
  data->AddSeries(new VectorSeries({1}, 2, &destroyed));
  first.Take();
  data.reset();
  EXPECT_EQ(destroyed, 2);
  EXPECT_THAT(first.Take(), ElementsAre("gone"));
  EXPECT_THAT(second.calls.back(), "gone");
}
