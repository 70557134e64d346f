#pragma once
// A graph data view that writes down what its container tells it, one word per call:
// "count N", "x G", "y G", "image", "paint", "gone". For axis updates it also notes how
// many series the container then has in that graph: "x 1 (2)".
#include <string>
#include <vector>

#include "graph/graph_data.h"
#include "graph/graph_data_view.h"
#include "graph/series.h"

namespace osc::test {

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

}  // namespace osc::test
