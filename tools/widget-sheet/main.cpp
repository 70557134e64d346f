// widget-sheet: pictures to judge the widgets by eye, written into DIR (default: .):
//   controls_sheet_x1.png, controls_sheet_x2.png  every spin box state, the lists with
//                                                and without focus, the display panels
//   view_two_graphs.png                          three curves in two graphs, the cross
//   view_curves_across_borders.png               zoomed curves leaving their windows
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <cmath>
#include <cstdio>
#include <functional>

#include "controls/qt/lx_display_panel.h"
#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "controls/qt/spin_box_btn.h"
#include "graph/graph_data.h"
#include "graph/qt/graph_widget.h"
#include "graph/series.h"
#include "platform/locale/locale.h"

using namespace osc;

namespace {

QString dir;

bool Save(const QImage& image, const char* name) {
  const QString path = dir + "/" + name;
  if (!image.save(path)) {
    std::fprintf(stderr, "widget-sheet: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

bool ControlsSheet() {
  formatSettings().DecimalSeparator = ',';
  formatSettings().ThousandSeparator = ' ';
  QWidget form;
  form.resize(470, 330);
  int row = 0;
  auto add = [&](auto* box, const char* caption) {
    const int y = 10 + row++ * 38;
    (new QLabel(QString::fromUtf8(caption), &form))->setGeometry(10, y, 150, 24);
    box->move(165, y);
    box->resize(70, box->height());
    return box;
  };
  auto* percent = add(new qt::TSpinBox(&form), "Zesílení [%] (1,23)");
  percent->SetMode(TSpinBoxMode::fsFloat);
  percent->SetDigits(2);
  percent->SetConst_K(0.01);
  percent->SetValue(123);
  auto* blank = add(new qt::TSpinBox(&form), "Prázdný (Blank)");
  blank->SetValue(7);
  blank->SetBlank(true);
  add(new qt::TSpinBox(&form), "Zakázaný")->setEnabled(false);
  add(new qt::TSpinBox(&form), "Horní polovina stisknuta")->Button().SetBmpIndex(TSpinBoxBtn::kUpper);
  add(new qt::TSpinBox(&form), "Dolní polovina stisknuta")->Button().SetBmpIndex(TSpinBoxBtn::kLower);
  auto* hex = add(new qt::TSpinBox(&form), "Hex, Digits 2 (-10)");
  hex->SetMode(TSpinBoxMode::fsHexadecimal);
  hex->SetDigits(2);
  hex->SetHexSymbol("h");
  hex->SetValue(-10);
  auto* read_only = add(new qt::TSpinBox(&form), "Jen pro čtení");
  read_only->SetDecSymbol(" V");
  read_only->SetValue(60);
  read_only->SetReadOnly(true);
  auto* volts = add(new qt::TFloatSpinBox(&form), "Napětí [V]");
  volts->SetDigits(2);
  volts->SetSymbol(" V");
  volts->SetValue(2.345678);
  qt::TLxListBox* lists[2];
  for (int i = 0; i < 2; ++i) {
    const int x = 260 + i * 105;
    (new QLabel(i == 0 ? "S fokusem" : "Bez fokusu", &form))->setGeometry(x, 10, 100, 20);
    lists[i] = new qt::TLxListBox(&form);
    lists[i]->setGeometry(x, 32, 95, 110);
    lists[i]->addItems({"20 V", "10 V", "5 V", "1 V", "200 mV"});
    lists[i]->setCurrentRow(2);
  }
  (new qt::TLxDisplayPanel(&form))->setGeometry(260, 160, 200, 24);
  auto* panel = new qt::TLxDisplayPanel(&form);
  panel->setGeometry(260, 196, 200, 24);
  panel->SetCaption(QString::fromUtf8("Korekce: 1,25 %"));
  form.show();
  form.activateWindow();
  lists[0]->setFocus();
  QApplication::processEvents();

  QImage x2(form.size() * 2, QImage::Format_ARGB32_Premultiplied);
  x2.setDevicePixelRatio(2);
  x2.fill(Qt::white);
  form.render(&x2);
  return Save(form.grab().toImage(), "controls_sheet_x1.png") && Save(x2, "controls_sheet_x2.png");
}

struct Curve {
  const char* title;
  std::uint32_t graph;
  TColor color;
  double step;
  std::uint32_t count;
  int width;
  std::function<double(int)> value;
};

bool ViewShot(const char* name, const std::vector<Curve>& curves,
              const std::function<void(TVelaGraph&)>& frame) {
  TVelaGraphWidget widget;
  widget.resize(800, 500);
  TVelaGraphData data;
  std::vector<std::unique_ptr<TBaseEquiDistantSeries>> series;
  widget.View().SetGraphData(&data);
  for (const Curve& c : curves) {
    auto s = std::make_unique<TBaseEquiDistantSeries>();
    s->SetTitle(c.title);
    s->SetGraphNumber(c.graph);
    s->SetColor(c.color);
    s->SetXStep(c.step);
    s->SetCount(c.count);
    s->SetLineWidth(c.width);
    s->OnGetValue = [f = c.value](TVelaSeries&, int i, double& v) { v = f(i); };
    data.AddSeries(s.get());
    series.push_back(std::move(s));
  }
  frame(widget.View());
  widget.show();
  QApplication::processEvents();
  const bool ok = Save(widget.grab().toImage(), name);
  data.Clear();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(dir);
  bool ok = ViewShot(
      "view_two_graphs.png",
      {{"CH 1  sine 5 V", 1, clRed, 0.01, 1001, 1,
        [](int i) { return 4 * std::sin(i * 0.01 * 2 * M_PI * 0.7); }},
       {"CH 2  square", 2, RGB(0, 0, 192), 0.01, 1001, 1, [](int i) { return (i / 150) % 2 ? 2.5 : -1.5; }},
       {"CH 3  ramp", 2, RGB(0, 128, 0), 0.05, 201, 1, [](int i) { return -2 + (i % 50) * 0.09; }}},
      [](TVelaGraph& v) {
        for (int i = 0; i < v.AxisCount(); ++i) {
          v.XAxis(i)->ZoomAll();
          v.YAxis(i)->ZoomAll();
        }
        v.MouseMove(0, 300, 120);
      });
  ok = ViewShot("view_curves_across_borders.png",
                {{"CH 1 (zoomed: leaves the window)", 1, clRed, 0.02, 1001, 2,
                  [](int i) { return 6 * std::sin(i * 0.02 * 1.3) + 0.3 * i * 0.02; }},
                 {"CH 2 (bars, LineWidth -3)", 2, RGB(0, 0, 192), 0.5, 41, -3,
                  [](int i) { return ((i / 3) % 4) * 1.5 - 2; }}},
                [](TVelaGraph& v) {
                  v.GlobalXAxis().SetLocked(false);
                  v.XAxis(0)->SetRange(3, 14);
                  v.YAxis(0)->SetRange(-3, 5);
                  v.XAxis(1)->SetRange(2.2, 17.8);
                  v.YAxis(1)->SetRange(-1.5, 1.8);
                }) &&
       ok;
  return ControlsSheet() && ok ? 0 : 1;
}
