#pragma once
// The spectrum window: the magnitude spectrum of one chosen channel over the measured
// span (acquisition/fourier.h), in dBFS or in the channel's unit, with the strongest
// peak labelled and a cursor reading frequency and level under the mouse.
//
// The spectrum is computed on a thread of the window's own from a copy of the span (a
// 40-minute channel takes tens of milliseconds, and the record may be erased meanwhile);
// a refresh asked for while one runs is done once it ends, so requests never pile up.
#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "acquisition/fourier.h"

class QComboBox;
class QLabel;

namespace osc {

// What the window computes from: the span's samples and the record's scale.
struct TSpectrumSource {
  std::vector<std::uint8_t> Samples;
  std::uint32_t Rate = 0;
  float Lower = 0;
  float Upper = 0;
  std::string Unit;
  std::string Name;
};

class TSpectrumPlot : public QWidget {
  Q_OBJECT

 public:
  explicit TSpectrumPlot(QWidget* parent = nullptr);
  void SetSpectrum(TSpectrum spectrum, float lower, float upper, std::string unit);
  void SetDbfs(bool on);
  bool Dbfs() const { return dbfs_; }
  const TSpectrum& Spectrum() const { return spectrum_; }
  // The level of a bin as shown, and its text with the unit ("-2.1 dBFS", "0.392 V").
  double Level(std::size_t bin) const;
  std::string LevelText(std::size_t bin) const;
  // The strongest bin within the pixel column `x` (no value outside the plot).
  std::optional<std::size_t> BinAt(int x) const;
  // The cursor's reading ("" when the mouse is not over the plot).
  std::function<void(const std::string& text)> OnCursor;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRect PlotRect() const;
  // Tells OnCursor what is under the mouse now (the data or the scale changed too).
  void ReportCursor();
  std::pair<double, double> LevelRange() const;
  TSpectrum spectrum_;
  float lower_ = 0;
  float upper_ = 0;
  std::string unit_;
  bool dbfs_ = true;
  int cursorX_ = -1;
};

class TSpectrumWindow : public QWidget {
  Q_OBJECT

 public:
  // `fetch` copies the measured span of a slot (1..4); nothing when it has no record.
  using Fetch = std::function<std::optional<TSpectrumSource>(int slot)>;
  explicit TSpectrumWindow(Fetch fetch, QWidget* parent = nullptr);
  // Waits for a computation still running.
  ~TSpectrumWindow() override;

  // The channels to choose from (slot, name); the chosen one stays when it is offered.
  void SetChannels(const std::vector<std::pair<int, QString>>& channels);
  // Computes the chosen channel's spectrum again (off this thread).
  void Refresh();
  // Waits for the running computation and shows its result (tests).
  void Settle();
  bool Busy() const { return worker_.joinable(); }

  QComboBox* CbChannel = nullptr;
  QComboBox* CbScale = nullptr;
  TSpectrumPlot* Plot = nullptr;
  QLabel* LPeak = nullptr;
  QLabel* LCursor = nullptr;
  QLabel* LSpan = nullptr;

 private:
  void Start();
  void Finished(TSpectrum spectrum, float lower, float upper, std::string unit, std::size_t count);

  Fetch fetch_;
  std::thread worker_;
  bool again_ = false;  // a refresh was asked for while one ran
  std::uint32_t rate_ = 0;
};

}  // namespace osc
