#pragma once

#include <string>

#include "format/text_sink.h"

namespace pibgen::testing {

// Everything the code under test prints, in order.
class TextCapture final : public TextSink {
 public:
  void Print(std::string_view text) override { text_.append(text); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace pibgen::testing
