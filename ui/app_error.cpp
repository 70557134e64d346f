#include "ui/app_error.h"

#include <QApplication>
#include <QMessageBox>

namespace osc {
namespace {

TApplicationErrorBox& InstalledBox() {
  static TApplicationErrorBox box;
  return box;
}

void ShowMessageBox(const std::string& message, QWidget* parent) {
  QMessageBox::critical(parent, QApplication::applicationName(), QString::fromStdString(message));
}

}  // namespace

void ShowApplicationError(const std::exception& error, QWidget* parent) {
  const TApplicationErrorBox box = InstalledBox();
  if (box) {
    box(error.what(), parent);
  } else {
    ShowMessageBox(error.what(), parent);
  }
}

TApplicationErrorBox SetApplicationErrorBox(TApplicationErrorBox box) {
  TApplicationErrorBox previous = std::move(InstalledBox());
  InstalledBox() = std::move(box);
  return previous;
}

}  // namespace osc
