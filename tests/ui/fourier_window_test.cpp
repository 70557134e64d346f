// The spectrum window opened from the statistics bar, on a recording of the simulated
// module (CH 1 a 50 Hz sine, CH 2 a square): wiring, the worker thread and the texts'
// sources; the spectrum's numbers are acquisition's tests.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "support/main_window_rig.h"
#include "ui/fourier_window.h"

namespace osc {
namespace {

TEST(SpectrumWindow, OpensOnTheMeasuredSpanFollowsTheChannelAndTheScale) {
  test::MainWindowRig rig;
  rig.ShowIdentified();
  TFrmMdl4CH& w = *rig.window;
  w.sbZaznam->click();
  ASSERT_TRUE(rig.RecordUntil(6000));
  w.sbZaznam->click();
  QApplication::processEvents();
  w.TBShowAnalyse->click();
  ASSERT_TRUE(w.TBSpectrum->isVisible());

  w.TBSpectrum->click();
  TSpectrumWindow* s = w.Spectrum();
  ASSERT_NE(s, nullptr);
  s->Settle();
  EXPECT_TRUE(s->isVisible());
  EXPECT_EQ(s->CbChannel->count(), 2);
  EXPECT_EQ(s->windowTitle(), "Spektrum – CH 1");
  TSampleSpan span;
  ASSERT_TRUE(w.MeasuredSpan(1, span));
  const TSpectrum& sp = s->Plot->Spectrum();
  EXPECT_EQ(sp.Length, span.Count());
  EXPECT_NEAR(sp.PeakFrequency(), 50, sp.BinWidth());
  EXPECT_TRUE(s->LPeak->text().endsWith(" dBFS")) << s->LPeak->text().toStdString();

  s->CbScale->setCurrentIndex(1);
  EXPECT_TRUE(s->LPeak->text().endsWith(" V")) << s->LPeak->text().toStdString();
  s->CbChannel->setCurrentIndex(1);
  s->Settle();
  EXPECT_EQ(s->windowTitle(), "Spektrum – CH 2");

  // The cursor reads the plot under the mouse.
  const QPointF at(s->Plot->width() / 3, s->Plot->height() / 2);
  QMouseEvent move(QEvent::MouseMove, at, s->Plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(s->Plot, &move);
  EXPECT_TRUE(s->LCursor->text().endsWith(" V")) << s->LCursor->text().toStdString();
  s->CbScale->setCurrentIndex(0);
  EXPECT_TRUE(s->LCursor->text().endsWith(" dBFS")) << "the reading follows the scale";

  // A view move reaches the open window; a refresh while one runs waits for it.
  w.StatsTimer->setInterval(0);
  w.TBZoomIn->click();
  QApplication::processEvents();
  s->Refresh();
  s->Settle();
  ASSERT_TRUE(w.MeasuredSpan(2, span));
  EXPECT_EQ(s->Plot->Spectrum().Length, span.Count());
}

}  // namespace
}  // namespace osc
