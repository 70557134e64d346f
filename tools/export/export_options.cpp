#include "tools/export/export_options.h"

#include <cmath>
#include <cstdlib>

namespace osc::tools {
namespace {

bool seconds(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(value);
}

}  // namespace

std::optional<ExportToolOptions> ParseExportToolOptions(const std::vector<std::string>& args,
                                                        std::string* error) {
  ExportToolOptions o;
  bool semicolon = false;
  std::optional<char> decimal;
  auto fail = [&](std::string text) -> std::optional<ExportToolOptions> {
    *error = std::move(text);
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--info") {
      o.info = true;
    } else if (a == "--semicolon") {
      semicolon = true;
    } else if (a == "-o" || a == "--output") {
      const std::string* v = value();
      if (v == nullptr || v->empty()) return fail(a + " potřebuje jméno souboru");
      o.output = *v;
    } else if (a == "--from" || a == "--to") {
      const std::string* v = value();
      double s = 0;
      if (v == nullptr || !seconds(*v, s)) return fail(a + " potřebuje počet sekund");
      (a == "--from" ? o.from : o.to) = s;
    } else if (a == "--decimal") {
      const std::string* v = value();
      if (v == nullptr || v->size() != 1) return fail("--decimal potřebuje jeden znak (. nebo ,)");
      decimal = (*v)[0];
    } else if (a.size() > 1 && a[0] == '-') {
      return fail("neznámá volba " + a);
    } else {
      o.files.push_back(a);
    }
  }
  if (o.help) return o;
  if (o.files.empty()) return fail("chybí soubory záznamu");
  o.separator = semicolon ? ';' : ',';
  o.decimal = decimal.value_or('.');
  if (o.decimal == o.separator || o.decimal == '"' || o.decimal == '\n') {
    return fail("desetinný oddělovač se nesmí shodovat s oddělovačem polí (použijte --semicolon)");
  }
  return o;
}

std::string ExportToolHelp() {
  return "Použití: osc-export ZÁZNAM.ch1 [ZÁZNAM.ch2 ...] [volby]\n"
         "        osc-export --info ZÁZNAM.ch1 ...\n"
         "Vypíše vzorky záznamů osciloskopu jako text CSV ve fyzikálních jednotkách.\n"
         "\n"
         "  -o, --output SOUBOR  zapsat do souboru (jinak na standardní výstup)\n"
         "  --from SEKUNDY       jen vzorky od tohoto času od začátku záznamu\n"
         "  --to SEKUNDY         jen vzorky do tohoto času (včetně)\n"
         "  --semicolon          pole oddělovat středníkem\n"
         "  --decimal ZNAK       desetinný oddělovač (. nebo ,; čárka jen se --semicolon)\n"
         "  --info               vypsat údaje z hlaviček souborů\n"
         "  -h, --help           tato nápověda\n";
}

}  // namespace osc::tools
