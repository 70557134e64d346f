#pragma once
// A shown, active top-level form for widget tests under the offscreen platform.
#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

namespace osc::test {

// Shows `form` and makes it the active window, so focus moves as a user would see it.
inline ::testing::AssertionResult ShowActive(QWidget& form) {
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowActive(&form, 5000))
    return ::testing::AssertionFailure() << "form never became active";
  return ::testing::AssertionSuccess();
}

inline bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// How many pixels of `rect` in `image` are within `tolerance` of `colour`.
inline int CountNear(const QImage& image, const QRect& rect, QRgb colour, int tolerance) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      if (Near(image.pixel(x, y), colour, tolerance)) ++n;
    }
  }
  return n;
}

inline std::string Rgb(QRgb c) {
  return "(" + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," + std::to_string(qBlue(c)) +
         ")";
}

}  // namespace osc::test
