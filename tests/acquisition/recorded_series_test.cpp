// The series the recorder builds over a finished recording, as the view shows them:
// time axis and value range. The stores are filled through DistributeBlock as the
// module's blocks would fill them; no port is opened.
#include "acquisition/protocol.h"
#include "acquisition/recorder.h"
#include "acquisition/scaling.h"
#include "config/range_entry.h"
#include "graph/graph_data.h"
#include "graph/series.h"
#include "graph/view.h"
#include "seriallink/serial_com.h"
#include "support/fake_view_host.h"
#include "support/quiet_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace osc;

namespace {

constexpr double kSecond = 1.0 / 86400;

// A recording made of `stream` (the module's interleaved bytes) for the selected inputs.
struct Recording {
  Recording(InputSelection inputs, int gain, int polarity, int maxSeconds) {
    view.SetGraphData(&data);
    data.SetAutoDestroySeries(true);
    recorder =
        std::make_unique<TRecorder>(window, com, state, protocol, data, view, TAcquisitionPath::Overlapped);
    view.OnXPositionChange = [this](TAxis& axis, double l, double r) {
      recorder->GraphXPositionChange(axis, l, r);
    };
    window.controls.Inputs = inputs;
    window.controls.GainIndex = gain;
    window.controls.PolarityIndex = polarity;
    recorder->SetMaxSeconds(maxSeconds);
    recorder->ReadControls();
    const TOscRozsah range(16.0);
    recorder->UpdateScale(&range);
    recorder->CreateStores();
  }
  ~Recording() {
    recorder.reset();
    data.Clear();
  }
  void Feed(const std::vector<std::uint8_t>& stream) {
    for (std::size_t at = 0; at < stream.size(); at += TRecorder::kMaxBlockLength) {
      const std::size_t n = std::min<std::size_t>(TRecorder::kMaxBlockLength, stream.size() - at);
      recorder->DistributeBlock(stream.data() + at, static_cast<int>(n));
    }
    recorder->RebuildSeries();
  }
  TBaseEquiDistantSeries& Series(int graph) {
    return *static_cast<TBaseEquiDistantSeries*>(data.Series(graph));
  }

  test::QuietWindow window;
  TSerialCom com;
  ProtocolState state;
  DeviceProtocol protocol{com, state, window};
  TVelaGraphData data;
  test::FakeHost viewHost{TSize{1000, 700}};
  TVelaGraph view{viewHost};
  std::unique_ptr<TRecorder> recorder;
};

// Three slots share 11520 samples/s (3840 each); a 10-second view takes 144 points per
// second, every 26th sample. Spaced at 26/3840 s the last point of ten minutes sits at
// its own time; spaced at the whole 1/147 s it would sit 2.8 s late.
TEST(RecordedSeries, LastPointOfATenMinuteThreeSlotRecordSitsAtItsTrueTime) {
  Recording r({true, true, true, false, false, false}, giX1, piPositive, 600);
  const std::uint32_t perSlot = 3840u * 600u;
  r.Feed(std::vector<std::uint8_t>(std::size_t{perSlot} * 3, 128));
  ASSERT_EQ(r.data.SeriesCount(), 3);

  const TDataStore& store = *r.recorder->Store(1);
  ASSERT_EQ(store.Count(), perSlot);
  r.view.XAxis(0)->SetRange(store.Start() + 295 * kSecond, store.Start() + 305 * kSecond);
  for (int g = 0; g < 3; ++g) {
    SCOPED_TRACE("graph " + std::to_string(g + 1));
    const TDataStore& s = *r.recorder->Store(g + 1);
    const TBaseEquiDistantSeries& series = r.Series(g);
    ASSERT_EQ(s.Step(), 26u);
    ASSERT_EQ(series.Count(), perSlot / 26);
    const std::uint32_t last = series.Count() - 1;
    const double shown = (series.XStart() + last * series.XStep() - s.Start()) / kSecond;
    const double sampleTime = static_cast<double>(last) * 26 / 3840;  // 599.99 s
    EXPECT_NEAR(shown, sampleTime, 1e-6);
    EXPECT_LE(shown, 600.0);
  }
}

// Bipolar x 4 at offset 0 spans -5.5 .. -1.5 V. The range widened by |U| keeps raw 255
// (-1.5 V exactly) inside it, so the top of the signal is drawn in the curve's colour.
TEST(RecordedSeries, NegativeUpperValueKeepsTheTopSamplesInsideTheRange) {
  Recording r({true, false, false, false, false, false}, giX4, piBipolar, 1);
  std::vector<std::uint8_t> stream;
  for (int i = 0; i < 4000; ++i)
    stream.push_back(i % 20 < 10 ? 255 : 0);
  r.Feed(stream);
  const TDataStore& store = *r.recorder->Store(1);
  ASSERT_FLOAT_EQ(store.Lower(), -5.5f);
  ASSERT_FLOAT_EQ(store.Upper(), -1.5f);

  TBaseEquiDistantSeries& series = r.Series(0);
  const double upper = store.Upper(), lower = store.Lower();
  EXPECT_DOUBLE_EQ(series.YMax(), upper + std::fabs(upper) * 0.01);
  EXPECT_DOUBLE_EQ(series.YMin(), lower - std::fabs(lower) * 0.01);
  EXPECT_GT(series.YMax(), series.GetValue(0));   // raw 255
  EXPECT_LT(series.YMin(), series.GetValue(10));  // raw 0

  r.view.Paint();
  const std::vector<test::Op> lines = r.viewHost.images.at(0)->canvas.Of(test::Op::Line);
  int curve = 0;
  for (const test::Op& op : lines) {
    EXPECT_NE(op.color, series.OutOfRangeColor());
    curve += op.color == series.Color() ? 1 : 0;
  }
  EXPECT_GT(curve, 100);
}

}  // namespace
