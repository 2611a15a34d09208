// The help layout shared by the command-line tools: each option with the
// value it takes, without CLI11's lists of which options need or exclude
// which (the error names them when it matters).
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

namespace qel::cli {

class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() { column_width(24); }

  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_type_size() == 0) return "";
    return " " + option->get_type_name() + (option->get_required() ? " (required)" : "");
  }
};

// Gives `app` the shared layout.
inline void useHelpFormatter(CLI::App& app) { app.formatter(std::make_shared<HelpFormatter>()); }

}  // namespace qel::cli
